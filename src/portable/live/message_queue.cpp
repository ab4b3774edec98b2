#include "portable/live/message_queue.h"

// The counters run freely and wrap at 2^32; their difference is the number
// of messages waiting. A message is written before the release of the new
// write count, and read before the release of the new read count, so each
// side sees the other's slots complete.
bool PushMessage(MessageQueue* queue, StampedMessage message)
{
    uint32_t write = queue->write.load(std::memory_order_relaxed);
    uint32_t read = queue->read.load(std::memory_order_acquire);
    if (write - read >= MessageQueueSize) return false;
    queue->messages[write & (MessageQueueSize - 1)] = message;
    queue->write.store(write + 1, std::memory_order_release);
    return true;
}

bool PopMessage(MessageQueue* queue, StampedMessage* message)
{
    uint32_t read = queue->read.load(std::memory_order_relaxed);
    uint32_t write = queue->write.load(std::memory_order_acquire);
    if (read == write) return false;
    *message = queue->messages[read & (MessageQueueSize - 1)];
    queue->read.store(read + 1, std::memory_order_release);
    return true;
}

void ClearMessageQueue(MessageQueue* queue)
{
    queue->read.store(queue->write.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
