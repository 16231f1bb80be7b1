// The envelope's block rule, called directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Envelope.h"

namespace {

bool LeavesBlock(const std::string &reply) { return ReplyLeavesBlockToHost(reply.data(), reply.size()); }

TEST(Envelope, OnlyTheExact400And204RepliesLeaveTheBlock) {
  EXPECT_TRUE(LeavesBlock("VORDEL/2.0 400 Bad Request\r\n\r\n"));
  EXPECT_TRUE(LeavesBlock("VORDEL/2.0 204 No Content\r\n\r\n"));
  EXPECT_FALSE(LeavesBlock("VORDEL/2.0 400 Bad Request\r\n"));
  EXPECT_FALSE(LeavesBlock("VORDEL/2.0 400 Bad Request\r\n\r\n "));
  EXPECT_FALSE(LeavesBlock("VORDEL/2.0 200 OK\r\nString: x\r\nCharset: Shift_JIS\r\n\r\n"));
  EXPECT_EQ(std::strlen(kBadRequestReply), 30u);
  EXPECT_EQ(std::strlen(kNoContentReply), 29u);
}

}  // namespace
