#include "live/LiveSession.h"

#include "data/PathText.h"
#include "live/LiveApi.h"

#include <algorithm>
#include <chrono>
#include <limits>

struct LiveOpenLog {
    LiveLog log;
    uint64_t lastUse = 0;
    LivePollRows handed;
    std::unique_ptr<LiveAnalysis> analysis;   // when the session fits or checks
    bool analysing = false;                   // Restart was called for the current measurement
    uint64_t segment = 0;                     // the measurement being analysed
    bool flushed = false;                     // the open block went to the worker as the log ended
};

double LiveNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

namespace {

std::string ParentFolder(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

} // namespace

LiveSession::LiveSession() = default;

LiveSession::~LiveSession()
{
    Stop();
}

bool LiveSession::Start(const LiveSessionSettings& settings, EventPublisher publish, std::string& error)
{
    settings_ = settings;
    publish_ = std::move(publish);
    std::vector<FolderLog> logs;
    bool complete = true;
    std::string folderError;
    folder_ = ListFolderLogs(settings.path, logs, complete, folderError);
    if (!folder_) {
        // A log, possibly not written yet: its folder must be there.
        std::vector<FolderLog> siblings;
        if (folderError != "is not a folder" &&
            !ListFolderLogs(ParentFolder(settings.path), siblings, complete, folderError)) {
            error = settings.path + ": " + (folderError == "no such folder" ? "no such file or folder" : folderError);
            return false;
        }
        listed_ = {FolderLog{settings.path, FileNameOf(settings.path), "", 0}};
    }
    ListFolder(LiveNow());
    thread_ = std::thread([this] { PollLoop(); });
    return true;
}

void LiveSession::Stop()
{
    {
        std::lock_guard hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

// The folder's logs; the newest is followed, and the one followed before is shown as ended.
// Caller holds the lock (or is Start, before the thread runs).
void LiveSession::ListFolder(double now_s)
{
    lastList_s_ = now_s;
    if (folder_) {
        std::vector<FolderLog> logs;
        bool complete = true;
        std::string error;
        if (ListFolderLogs(settings_.path, logs, complete, error)) {
            std::vector<std::string> before, after;
            for (const FolderLog& log : listed_)
                before.push_back(log.path);
            for (const FolderLog& log : logs)
                after.push_back(log.path);
            listed_ = std::move(logs);
            listComplete_ = complete;
            listError_.clear();
            if (before != after && publish_)
                publish_("logs", Logs(now_s));
        } else {
            listError_ = error;
        }
    }
    if (listed_.empty())
        return;
    const std::string& newest = listed_.front().path;
    if (!open_.empty() && open_.front()->log.path == newest)
        return;
    // The newest log is followed; an entry already open for it moves to the front.
    auto found = std::find_if(open_.begin(), open_.end(), [&](const auto& entry) { return entry->log.path == newest; });
    std::unique_ptr<LiveOpenLog> followed;
    if (found != open_.end()) {
        followed = std::move(*found);
        open_.erase(found);
    } else {
        followed = Open(newest);
    }
    followed->log.superseded = false;
    for (auto& entry : open_)
        entry->log.superseded = true;
    open_.insert(open_.begin(), std::move(followed));
    KeepOpenAtMost(LiveMostOpenLogs);
    publishedChanges_ = ~uint64_t{0};
}

// Closes the least recently used logs (never the followed one) until at most `count` are open.
void LiveSession::KeepOpenAtMost(size_t count)
{
    while (open_.size() > std::max<size_t>(count, 1)) {
        auto oldest = std::min_element(open_.begin() + 1, open_.end(),
                                       [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
        open_.erase(oldest);
    }
}

std::unique_ptr<LiveOpenLog> LiveSession::Open(const std::string& path)
{
    auto open = std::make_unique<LiveOpenLog>();
    open->log = StartLiveLog(path);
    if (settings_.analysis.circuit || settings_.analysis.check)
        open->analysis = std::make_unique<LiveAnalysis>(settings_.analysis);
    return open;
}

// The rows of the last poll into the log's fits, measurement by measurement; the open block goes
// too once the log has ended.
void LiveSession::Analyse(LiveOpenLog& entry, double now_s)
{
    if (!entry.analysis)
        return;
    if (entry.handed.restarted)
        entry.analysing = false;
    for (const FollowedRow& row : entry.handed.rows) {
        if (!entry.analysing || row.segment != entry.segment) {
            entry.analysis->Restart(entry.log.summary.period_s, entry.log.frequencies_hz);
            entry.analysing = true;
            entry.segment = row.segment;
        }
        entry.analysis->Add(row.count, row.record);
        entry.flushed = false;
    }
    if (entry.analysing && !entry.flushed && LiveStateOf(entry.log, now_s) == LiveState::Ended) {
        entry.analysis->Flush();
        entry.flushed = true;
    }
}

void LiveSession::PollLoop()
{
    std::unique_lock hold(lock_);
    while (!stopping_) {
        const double now_s = LiveNow();
        if (folder_ && now_s - lastList_s_ >= LiveFolderListSeconds)
            ListFolder(now_s);
        bool behind = false;
        // Each log is polled under the lock: a poll reads at most a few MiB, so an answer waits
        // at most that long.
        for (size_t i = 0; i < open_.size() && !stopping_; ++i) {
            LiveOpenLog& entry = *open_[i];
            PollLiveLog(entry.log, LiveNow(), entry.handed);
            Analyse(entry, LiveNow());
            behind = behind || (entry.log.hasSummary && !entry.log.caughtUp);
            if (behind) {
                // Let waiting answers in between the polls of a long backlog.
                hold.unlock();
                hold.lock();
            }
        }
        PublishStatus(LiveNow(), false);
        if (!behind)
            wake_.wait_for(hold, std::chrono::duration<double>(LivePollSeconds), [this] { return stopping_; });
    }
}

void LiveSession::PublishStatus(double now_s, bool force)
{
    if (open_.empty() || !publish_)
        return;
    const LiveOpenLog& followed = *open_.front();
    if (followed.analysis) {
        const LiveAnalysisProgress progress = followed.analysis->Progress();
        if (progress.blocksDone != publishedFits_) {
            publishedFits_ = progress.blocksDone;
            Json fits;
            fits["blocks_done"] = progress.blocksDone;
            fits["last_time_s"] = progress.lastTime_s;
            publish_("fits", fits);
        }
    }
    if (!force && followed.log.changes == publishedChanges_ && now_s - lastStatus_s_ < LiveStatusEverySeconds)
        return;
    publishedChanges_ = followed.log.changes;
    lastStatus_s_ = now_s;
    publish_("status", Status(followed, now_s));
}

Json LiveSession::Status(const LiveOpenLog& open, double now_s)
{
    Json status = LiveLogStatus(open.log, now_s);
    size_t index = 0;
    while (index < listed_.size() && listed_[index].path != open.log.path)
        ++index;
    status["log_index"] = index;
    status["folder"] = folder_ ? Json(settings_.path) : Json(nullptr);
    status["folder_error"] = listError_;
    const LiveAnalysisSettings& analysis = settings_.analysis;
    status["circuit"] = analysis.circuit ? Json(analysis.circuit->text) : Json(nullptr);
    status["check"] = analysis.check;
    status["fit_every_s"] = analysis.every_s;
    const LiveAnalysisProgress progress = open.analysis ? open.analysis->Progress() : LiveAnalysisProgress{};
    status["fits_done"] = progress.blocksDone;
    status["fits_pending"] = progress.blocksPending;
    return status;
}

Json LiveSession::Logs(double now_s)
{
    Json logs = Json::array();
    for (size_t i = 0; i < listed_.size(); ++i) {
        Json entry;
        entry["index"] = i;
        entry["name"] = listed_[i].name;
        auto open = std::find_if(open_.begin(), open_.end(),
                                 [&](const auto& o) { return o->log.path == listed_[i].path; });
        const bool known = open != open_.end() && (*open)->log.hasSummary;
        entry["spectra"] = known ? Json((*open)->log.summary.spectra) : Json(nullptr);
        entry["state"] = open != open_.end() ? LiveStateName(LiveStateOf((*open)->log, now_s))
                                             : (i == 0 ? "waiting" : "ended");
        logs.push_back(std::move(entry));
    }
    Json document;
    document["folder"] = folder_ ? Json(settings_.path) : Json(nullptr);
    document["complete"] = listComplete_;
    document["logs"] = std::move(logs);
    return document;
}

// The log a request names with ?log=INDEX (an index into the list, never a name), opened when it
// is not yet. Caller holds the lock; the list is not empty.
LiveOpenLog* LiveSession::Pick(const QueryParameters& query, std::string& error)
{
    long long index = 0;
    if (!QueryInteger(query, "log", 0, static_cast<long long>(listed_.size()) - 1, index, error))
        return nullptr;
    const std::string& path = listed_[static_cast<size_t>(index)].path;
    for (auto& entry : open_)
        if (entry->log.path == path) {
            entry->lastUse = ++useClock_;
            return entry.get();
        }
    std::unique_ptr<LiveOpenLog> opened = Open(path);
    opened->log.superseded = index != 0;
    opened->lastUse = ++useClock_;
    LiveOpenLog* picked = opened.get();
    KeepOpenAtMost(LiveMostOpenLogs - 1);
    open_.push_back(std::move(opened));
    wake_.notify_all();
    return picked;
}

std::vector<HttpRoute> LiveSession::Routes()
{
    auto withLog = [this](auto answer) {
        return [this, answer](const QueryParameters& query) {
            std::lock_guard hold(lock_);
            if (listed_.empty())
                return JsonError(404, "no log in the folder yet");
            std::string error;
            LiveOpenLog* open = Pick(query, error);
            if (!open)
                return JsonError(400, error);
            return answer(*open, query);
        };
    };
    std::vector<HttpRoute> routes;
    routes.push_back({"/api/status", withLog([this](LiveOpenLog& open, const QueryParameters&) {
                          return JsonReply(Status(open, LiveNow()));
                      })});
    routes.push_back({"/api/logs", [this](const QueryParameters&) {
                          std::lock_guard hold(lock_);
                          return JsonReply(Logs(LiveNow()));
                      }});
    routes.push_back({"/api/trend", withLog([](LiveOpenLog& open, const QueryParameters& query) {
                          return TrendReply(open.log, query);
                      })});
    routes.push_back({"/api/spectrum", withLog([](LiveOpenLog& open, const QueryParameters& query) {
                          FittedCurveSource fitted;
                          if (open.analysis)
                              fitted = [&open](double time_s, const std::vector<double>& frequencies,
                                               std::vector<std::complex<double>>& z, double& blockTime_s) {
                                  return open.analysis->FittedCurve(time_s, frequencies, z, blockTime_s);
                              };
                          return SpectrumReply(open.log, query, fitted);
                      })});
    routes.push_back({"/api/fits", withLog([](LiveOpenLog& open, const QueryParameters& query) {
                          if (!open.analysis)
                              return JsonError(404, "nothing is fitted: the live view runs without --circuit and --check");
                          std::string error;
                          double from_s = -std::numeric_limits<double>::infinity();
                          double to_s = std::numeric_limits<double>::infinity();
                          long long points = TrendDefaultPoints;
                          if (!QueryNumber(query, "from_s", from_s, error) || !QueryNumber(query, "to_s", to_s, error) ||
                              !QueryInteger(query, "points", 1, TrendMostPoints, points, error))
                              return JsonError(400, error);
                          return JsonReply(open.analysis->Series(from_s, to_s, static_cast<size_t>(points)));
                      })});
    return routes;
}
