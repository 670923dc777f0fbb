#pragma once

namespace kestrin {

// Raises the calling thread to a modest realtime priority for the length of a send, through the
// desktop's RealtimeKit service over the system bus, as sound programs do, so that a busy machine
// delays the send's waits less. Without the service, or when it refuses, nothing changes and
// nothing is said; after a service that is absent the program stops asking. Window thread only.
class SendPriority {
public:
    SendPriority();
    ~SendPriority(); // back to normal priority, if raised
    SendPriority(const SendPriority&) = delete;
    SendPriority& operator=(const SendPriority&) = delete;

    bool Raised() const { return m_raised; }

private:
    bool m_raised = false;
};

} // namespace kestrin
