#include <gtest/gtest.h>

#include "UserNoticeQueue.h"

namespace {

const UserNotice kWriteFailed{"File Writing operation failed ! ", "File Write Error"};
const UserNotice kWriteFailedElsewhere{"File Writing operation failed ! ", "File Create Error"};
const UserNotice kSendFailed{"Error in sending data through TCP socket", "TCP Socket Send Error"};

TEST(UserNoticeQueue, CopiesOfAnOpenBoxAreDroppedOtherKindsWait) {
    UserNoticeQueue queue;
    for (const UserNotice& notice :
         {kWriteFailed, kWriteFailed, kWriteFailedElsewhere, kSendFailed, kWriteFailed}) {
        queue.Push(notice);
    }
    EXPECT_EQ(queue.NextToShow(), kWriteFailed);
    // Same text, other caption: another kind.
    EXPECT_EQ(queue.NextToShow(), kWriteFailedElsewhere);
    EXPECT_EQ(queue.NextToShow(), kSendFailed);
    EXPECT_EQ(queue.NextToShow(), std::nullopt);

    queue.Closed(kWriteFailed);
    queue.Push(kSendFailed);
    queue.Push(kWriteFailed);
    EXPECT_EQ(queue.NextToShow(), kWriteFailed);
    EXPECT_EQ(queue.NextToShow(), std::nullopt);
}

}  // namespace
