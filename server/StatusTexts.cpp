#include "StatusTexts.h"

#include <iterator>

namespace {

struct MessageRow {
    const char* english;
    const char* korean;
};

constexpr MessageRow kMessageRows[] = {
#define QDV_MESSAGE_ROW(key, english, korean) {english, korean},
    QDV_MESSAGE_TABLE(QDV_MESSAGE_ROW)
#undef QDV_MESSAGE_ROW
};
static_assert(std::size(kMessageRows) == kMessageCount);

struct StartFailure {
    int32_t result;
    MessageKey headline;
    uint16_t ServerPorts::*blockedPort;  // null: no port to name
};

const StartFailure kStartFailures[] = {
    {kStartNoPaths, MsgSetShareRoot, nullptr},
    {kStartNotReady, MsgCheckNetwork, nullptr},
    {kStartNoNetwork, MsgCheckNetwork, nullptr},
    {kStartInProgress, MsgNetworkConflict, nullptr},
    {kStartProcessLimit, MsgWinsockLimit, nullptr},
    {kStartMountPortBusy, MsgBlockedPort, &ServerPorts::mount},
    {kStartNfsPortBusy, MsgBlockedPort, &ServerPorts::nfs},
    {kStartPortmapPortBusy, MsgBlockedPort, &ServerPorts::portmap},
};

}  // namespace

const char* MessageText(MessageKey key, bool korean) {
    const MessageRow& row = kMessageRows[key];
    return korean ? row.korean : row.english;
}

StartFailureReport DescribeStartFailure(int32_t result, const ServerPorts& ports) {
    for (const StartFailure& failure : kStartFailures) {
        if (failure.result != result) continue;
        if (failure.blockedPort == nullptr) return {failure.headline, ""};
        return {failure.headline, "Blocked Port :" + std::to_string(ports.*failure.blockedPort)};
    }
    return {std::nullopt, "Cannot Start !!!!!"};
}
