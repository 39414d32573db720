// The messages that wait for the broker, bounded in count and bytes.
#include "mqtt/mqtt.h"

namespace {

long long bytes_of(const MqttQueued &message) {
    // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): two strings in memory; their sum fits
    return (long long)(message.topic.size() + message.payload.size());
}

// Lets the oldest exchange message give way, or else the oldest retained value. False when the
// queue is empty.
bool give_way(MqttQueue *queue) {
    if (!queue->passing.empty()) {
        queue->bytes -= bytes_of(queue->passing.front());
        queue->passing.pop_front();
    } else if (!queue->retained.empty()) {
        queue->bytes -= bytes_of(queue->retained.front());
        queue->byTopic.erase(queue->retained.front().topic);
        queue->retained.pop_front();
    } else {
        return false;
    }
    queue->dropped++;
    return true;
}

} // namespace

void mqtt_queue_init(MqttQueue *queue, int capacity, long long byteLimit) {
    queue->capacity = capacity;
    queue->byteLimit = byteLimit;
    queue->bytes = queue->arrivals = queue->dropped = 0;
    queue->passing.clear();
    queue->retained.clear();
    queue->byTopic.clear();
}

int mqtt_queue_push(MqttQueue *queue, const char *topic, const char *payload, int retained) {
    MqttQueued message{topic, payload, retained ? 1 : 0, queue->arrivals++};
    const long long size = bytes_of(message);
    if (size > queue->byteLimit) {
        queue->dropped++;
        return 1;
    }
    if (retained) {
        if (const auto older = queue->byTopic.find(message.topic); older != queue->byTopic.end()) {
            queue->bytes -= bytes_of(*older->second);
            queue->retained.erase(older->second);
            queue->byTopic.erase(older);
        }
    }
    int gaveWay = 0;
    while ((mqtt_queue_size(queue) >= queue->capacity || queue->bytes + size > queue->byteLimit) &&
           give_way(queue))
        gaveWay++;
    queue->bytes += size;
    if (retained) {
        queue->retained.push_back(std::move(message));
        queue->byTopic[queue->retained.back().topic] = std::prev(queue->retained.end());
    } else {
        queue->passing.push_back(std::move(message));
    }
    return gaveWay;
}

int mqtt_queue_pop(MqttQueue *queue, MqttQueued *message) {
    const bool fromPassing =
        !queue->passing.empty() &&
        (queue->retained.empty() || queue->passing.front().order < queue->retained.front().order);
    if (fromPassing) {
        *message = std::move(queue->passing.front());
        queue->passing.pop_front();
    } else if (!queue->retained.empty()) {
        *message = std::move(queue->retained.front());
        queue->byTopic.erase(message->topic);
        queue->retained.pop_front();
    } else {
        return 0;
    }
    queue->bytes -= bytes_of(*message);
    return 1;
}

int mqtt_queue_size(const MqttQueue *queue) {
    return int(queue->passing.size() + queue->retained.size());
}
