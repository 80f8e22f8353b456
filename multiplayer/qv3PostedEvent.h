// A message a session worker posts to an object on the main thread, where
// Qt's event loop hands it to that object's customEvent. One event type per
// message struct; the sender's and receiver's halves of the hand-off
// (foundation/Handoff.h) are part of posting and taking.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <utility>

#include "foundation/Handoff.h"

namespace qv::mp {

template <typename TMessage>
class TPostedEvent final : public QEvent {
public:
    explicit TPostedEvent(TMessage message) : QEvent(Type()), Message(std::move(message)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    TMessage Message;
};

// Queues `message` for `receiver`; safe from any thread.
template <typename TMessage>
void PostToMainThread(QObject* receiver, TMessage message) {
    auto* event = new TPostedEvent<TMessage>(std::move(message));
    Handed();
    QCoreApplication::postEvent(receiver, event);
}

// The message `event` carries, or null when it is another kind of event.
// Call it first in customEvent, for every event.
template <typename TMessage>
const TMessage* TakePosted(const QEvent* event) {
    Taken();
    if (event->type() != TPostedEvent<TMessage>::Type()) return nullptr;
    return &static_cast<const TPostedEvent<TMessage>*>(event)->Message;
}

}  // namespace qv::mp
