#include "Progress.h"

#include <fmt/format.h>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define KALVIX_ISATTY _isatty
#define KALVIX_FILENO _fileno
#else
#include <unistd.h>
#define KALVIX_ISATTY isatty
#define KALVIX_FILENO fileno
#endif

namespace {
constexpr int BarWidth = 40;
}

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), start_(std::chrono::steady_clock::now()),
      terminal_(KALVIX_ISATTY(KALVIX_FILENO(stderr)) != 0)
{
}

ProgressBar::~ProgressBar()
{
    Finish();
}

void ProgressBar::Update(double fraction)
{
    if (!terminal_ || (++calls_ & 63) != 0)
        return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1))
        return;
    fraction = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    const int permille = static_cast<int>(fraction * 1000);
    if (permille == lastPermille_)
        return;
    lastPermille_ = permille;
    shown_ = true;
    const int filled = permille * BarWidth / 1000;
    fmt::print(stderr, "\r{} [{:#<{}}{:{}}] {:5.1f}%", label_, "", filled, "", BarWidth - filled, permille / 10.0);
    std::fflush(stderr);
}

void ProgressBar::Finish()
{
    if (!shown_)
        return;
    shown_ = false;
    fmt::print(stderr, "\r{:{}}\r", "", label_.size() + BarWidth + 12);
    std::fflush(stderr);
}
