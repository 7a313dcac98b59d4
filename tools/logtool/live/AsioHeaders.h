// Boost.Asio and Boost.Beast as the live view's server uses them.
#pragma once

// This Boost (1.74) turns its C++20 coroutine support on for GCC alone; clang and MSVC have the
// standard coroutines as well, told by __cpp_impl_coroutine.
#if defined(__cpp_impl_coroutine) && __cpp_impl_coroutine >= 201902L && __has_include(<coroutine>)
#ifndef BOOST_ASIO_HAS_CO_AWAIT
#define BOOST_ASIO_HAS_CO_AWAIT 1
#endif
#ifndef BOOST_ASIO_HAS_STD_COROUTINE
#define BOOST_ASIO_HAS_STD_COROUTINE 1
#endif
#endif

// Its awaitable.hpp uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
