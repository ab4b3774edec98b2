// A queue of MIDI short messages between two threads: one pushes (the window
// thread), the other pops (the render thread). Single producer, single
// consumer, lock-free: neither side ever waits for the other. Each message
// carries the audio clock's time at which it was sent. Portable.
#pragma once

#include <atomic>
#include <cstdint>

constexpr uint32_t MessageQueueSize = 4096; // a power of two

struct StampedMessage {
    uint32_t word;
    int64_t stamp; // AudioClockNow() when sent
};

struct MessageQueue {
    std::atomic<uint32_t> read{0};  // messages taken so far, advanced by the consumer alone
    std::atomic<uint32_t> write{0}; // messages put so far, advanced by the producer alone
    StampedMessage messages[MessageQueueSize];
};

// The producer's side: false, and the message dropped, when the queue is full.
bool PushMessage(MessageQueue* queue, StampedMessage message);

// The consumer's side: the oldest message waiting; false when none waits.
bool PopMessage(MessageQueue* queue, StampedMessage* message);

// Empties the queue; only while neither side uses it.
void ClearMessageQueue(MessageQueue* queue);
