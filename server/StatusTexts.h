#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ServerDaemon.h"

// The texts both front ends show of sharing: the tray program in the language of the system,
// quondorveld in English.
// The user texts by key, English and Korean, in UTF-8. "\n" in MsgBlockedPort is the line break
// of the status window's headline.
#define QDV_MESSAGE_TABLE(X)                                                                 \
    X(MsgSharingStarted, "Quon sharing started. ", "Quon 공유가 시작됩니다.")                \
    X(MsgSharingClosed, "Quon sharing closed . ", "Quon 공유가 종료됩니다.")                 \
    X(MsgConnected, "Connected with Quon Dorvel ", "Quon Dorvel 과 연결되었습니다.")         \
    X(MsgDisconnected, "Disconnected with Quon Dorvel ", "Quon Dorvel 연결이 끊어졌습니다.") \
    X(MsgSelectShareFolder, "Select Share Folder !", "공유폴더를 지정하세요!")               \
    X(MsgSetShareRoot, "Please Set Share Root Folder !!!", "폴더지정이 올바르지 않습니다.")  \
    X(MsgCheckNetwork, "Check Network is disconnected !!",                                   \
      "네트웍카드 및 케이블 점검이 필요합니다!!! ")                                          \
    X(MsgNetworkConflict, "Conflict with other Network program !!!",                         \
      "다른 네트웍 프로그램과 자원이 충돌합니다!!!")                                         \
    X(MsgWinsockLimit, "Exceeded the limit of winsock resource !!!",                         \
      "사용할 수 있는 Winsock리소스가 없습니다!!!")                                          \
    X(MsgBlockedPort, "Blocked by Firewall \n or other program already use port !",          \
      "방화벽으로 막혀있거나 포트를 \n 다른 프로그램이 사용중일 수 있습니다.!")              \
    X(MsgPleaseSelectFolder, "Please Select Share Folder ", "폴더지정이 올바르지 않습니다.") \
    X(MsgConnectionLost, " Current Quon connection will be lost !",                          \
      "현재의 Quon 연결은 해제됩니다 !")                                                     \
    X(MsgConnectedSuffix, ": connected with Quon", ": Quon와 연결됨 ")                       \
    X(MsgAlreadyRunning, "Program Already in Running !!! ", "프로그램이 이미 실행중입니다!") \
    X(MsgDriveRoot, "Cannot support drive's root !!!",                                       \
      "드라이브의 최상위 루트폴더는 지원하지 않습니다.")                                     \
    X(MsgNoNicAdapter, "No NIC Adapter is connected!!!. Please connect a NIC adapter.",      \
      "NIC Adapter가 연결되지 않았습니다!!!. NIC Adapter를 연결하기 바랍니다.")

enum MessageKey : int {
#define QDV_MESSAGE_KEY(key, english, korean) key,
    QDV_MESSAGE_TABLE(QDV_MESSAGE_KEY)
#undef QDV_MESSAGE_KEY
        kMessageCount
};

// One column of the table, as written above.
const char* MessageText(MessageKey key, bool korean);

// What a front end says of a start that failed: the headline, none where it stays as it was, and
// the line below it, empty where that stays as it was. A blocked port is named by its number.
struct StartFailureReport {
    std::optional<MessageKey> headline;
    std::string secondLine;
};
StartFailureReport DescribeStartFailure(int32_t result, const ServerPorts& ports = ServerPorts());
