// Boost.Asio and Boost.Beast as the live view's server uses them. <utility> comes first: this
// Boost's awaitable.hpp uses std::exchange without including it.
#pragma once

#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
