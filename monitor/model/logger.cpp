#include "model/logger.h"

void TLogger::Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(FLock);
    FLines.push_back(line);
    FCount.store(FLines.size(), std::memory_order_release);
}

bool TLogger::Pop(std::string& line) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FLines.empty()) {
        line.clear();
        return false;
    }
    line = std::move(FLines.front());
    FLines.pop_front();
    FCount.store(FLines.size(), std::memory_order_release);
    return true;
}
