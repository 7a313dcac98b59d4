// What `kalvix-log live` serves: a log, or the logs of a folder (the newest followed, moving on as
// soon as a newer one appears), polled on a thread of its own, answered through the JSON API, with
// status events for the page. Handlers and the poll thread share the logs under one lock.
#pragma once

#include "data/Json.h"
#include "live/FolderWatch.h"
#include "live/LiveAnalysis.h"
#include "live/HttpReply.h"
#include "live/LiveLog.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Logs kept open at once: the followed one and those opened last from the folder's list.
constexpr size_t LiveMostOpenLogs = 4;
constexpr double LivePollSeconds = 0.1;
constexpr double LiveFolderListSeconds = 1.0;
constexpr double LiveStatusEverySeconds = 1.0;

using EventPublisher = std::function<void(std::string_view name, const Json& data)>;

struct LiveSessionSettings {
    std::string path;                 // a log, or a folder of logs (UTF-8)
    LiveAnalysisSettings analysis;    // fits and validity tests of every log shown, when enabled
};

struct LiveOpenLog;

class LiveSession {
public:
    LiveSession();
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // Checks the path (a folder, or a file whose folder exists) and starts polling; false with
    // `error` when it cannot be followed.
    bool Start(const LiveSessionSettings& settings, EventPublisher publish, std::string& error);
    // /api/status, /api/logs, /api/trend, /api/spectrum, /api/fits.
    std::vector<HttpRoute> Routes();
    void Stop();

private:
    void PollLoop();
    void Analyse(LiveOpenLog& entry, double now_s);
    std::unique_ptr<LiveOpenLog> Open(const std::string& path);
    void KeepOpenAtMost(size_t count);
    void ListFolder(double now_s);
    void PublishStatus(double now_s, bool force);
    LiveOpenLog* Pick(const QueryParameters& query, std::string& error);
    Json Status(const LiveOpenLog& open, double now_s);
    Json Logs(double now_s);

    LiveSessionSettings settings_;
    bool folder_ = false;
    EventPublisher publish_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<FolderLog> listed_;   // newest first; the single log when following a file
    bool listComplete_ = true;
    std::string listError_;
    std::vector<std::unique_ptr<LiveOpenLog>> open_;   // [0] is the followed log
    uint64_t useClock_ = 0;
    uint64_t publishedChanges_ = ~uint64_t{0};
    uint64_t publishedFits_ = 0;
    double lastStatus_s_ = -1e300;
    double lastList_s_ = -1e300;
    std::thread thread_;
};

// Seconds of a steady clock.
double LiveNow();
