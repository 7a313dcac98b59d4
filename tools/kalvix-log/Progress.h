// A progress bar on stderr, shown only when stderr is a terminal and the work has already taken
// more than a second; Finish() clears it.
#pragma once

#include <chrono>
#include <string>

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar();
    void Update(double fraction);   // 0..1; cheap enough to call for every spectrum
    void Finish();

private:
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    bool terminal_;
    bool shown_ = false;
    int lastPermille_ = -1;
    unsigned calls_ = 0;
};
