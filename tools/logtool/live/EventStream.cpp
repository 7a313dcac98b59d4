#include "live/EventStream.h"

#include <algorithm>

std::string EventText(std::string_view name, const Json& data)
{
    std::string text = "event: ";
    text += name;
    text += "\ndata: ";
    text += JsonText(data);   // compact: one line
    text += "\n\n";
    return text;
}

bool IsEventName(std::string_view name)
{
    if (name.empty() || name.size() > 64)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.';
    });
}

bool PublishEvent(EventHub& hub, std::string_view name, const Json& data)
{
    if (!IsEventName(name))
        return false;
    const auto text = std::make_shared<const std::string>(EventText(name, data));
    std::lock_guard hubLock(hub.lock);
    ++hub.publishedEvents;
    for (const std::shared_ptr<EventSubscriber>& subscriber : hub.subscribers) {
        std::lock_guard queueLock(subscriber->lock);
        if (subscriber->overflowed)
            continue;
        const bool overflows = subscriber->bytes + text->size() > subscriber->limitBytes;
        if (overflows) {
            subscriber->overflowed = true;
            subscriber->texts.clear();
            subscriber->bytes = 0;
            ++hub.droppedSubscribers;
        } else {
            subscriber->texts.push_back(text);
            subscriber->bytes += text->size();
        }
        if ((!subscriber->wakePending || overflows) && subscriber->wake) {
            subscriber->wakePending = true;
            subscriber->wake();
        }
    }
    return true;
}

void Subscribe(EventHub& hub, const std::shared_ptr<EventSubscriber>& subscriber)
{
    std::lock_guard hubLock(hub.lock);
    hub.subscribers.push_back(subscriber);
}

void Unsubscribe(EventHub& hub, const std::shared_ptr<EventSubscriber>& subscriber)
{
    std::lock_guard hubLock(hub.lock);
    std::erase(hub.subscribers, subscriber);
}

std::vector<std::shared_ptr<const std::string>> TakeEvents(EventSubscriber& subscriber, bool& overflowed)
{
    std::lock_guard queueLock(subscriber.lock);
    std::vector<std::shared_ptr<const std::string>> texts(subscriber.texts.begin(), subscriber.texts.end());
    subscriber.texts.clear();
    subscriber.bytes = 0;
    subscriber.wakePending = false;
    overflowed = subscriber.overflowed;
    return texts;
}
