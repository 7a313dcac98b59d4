// The events the live view's server streams to its pages (Server-Sent Events): the caller publishes
// an event (a name and a JSON document) from any thread; each subscribed client gets every event in
// the order published, through a queue of its own. A client whose queue would grow past its bound
// in bytes has fallen behind: its queue is emptied and marked overflowed, and the server drops it,
// so no client ever holds more than its bound however slowly it reads.
#pragma once

#include "data/Json.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// One client's queue. `wake` is called (under the hub's lock, so it must only post work) when the
// queue turns from empty to not empty or overflows.
struct EventSubscriber {
    std::mutex lock;
    std::deque<std::shared_ptr<const std::string>> texts;
    size_t bytes = 0;
    size_t limitBytes = 0;
    bool overflowed = false;
    bool wakePending = false;
    std::function<void()> wake;
};

struct EventHub {
    std::mutex lock;
    std::vector<std::shared_ptr<EventSubscriber>> subscribers;
    size_t publishedEvents = 0;
    size_t droppedSubscribers = 0;
};

// The event as sent on the stream: "event: NAME\ndata: JSON\n\n".
std::string EventText(std::string_view name, const Json& data);

// Event names: 1 to 64 letters, digits, '-', '_' or '.'.
bool IsEventName(std::string_view name);

// Queues the event for every subscriber; false (nothing sent) when the name is not an event name.
bool PublishEvent(EventHub& hub, std::string_view name, const Json& data);

void Subscribe(EventHub& hub, const std::shared_ptr<EventSubscriber>& subscriber);
void Unsubscribe(EventHub& hub, const std::shared_ptr<EventSubscriber>& subscriber);

// What the subscriber's queue holds, taken out; `overflowed` tells the client fell behind.
std::vector<std::shared_ptr<const std::string>> TakeEvents(EventSubscriber& subscriber, bool& overflowed);
