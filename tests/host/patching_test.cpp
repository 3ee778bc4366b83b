#include "host/patching.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_code_memory.h"

namespace pellix {
namespace {

using test::FakeCodeMemory;

std::vector<uint8_t> Bytes(const PatchBytes& patch) {
  return std::vector<uint8_t>(patch.bytes, patch.bytes + patch.size);
}

TEST(EncodersTest, DisplacementIsRelativeToTheInstructionEnd) {
  // Forward, backward and across the top of the 32-bit space.
  EXPECT_EQ(RelativeDisplacement(0x00401000u, 0x10001000u), 0x0FBFFFFBu);
  EXPECT_EQ(RelativeDisplacement(0x73680Eu, 0x736000u), 0xFFFFF7EDu);  // -0x813
  EXPECT_EQ(RelativeDisplacement(0xFFFFFFF0u, 0x00000010u), 0x1Bu);
  EXPECT_EQ(RelativeDisplacement(0x1000u, 0x1005u), 0u);

  EXPECT_EQ(Bytes(EncodeJump(0x73614Au, 0x10001234u)),
            (std::vector<uint8_t>{0xE9, 0xE5, 0xB0, 0x8C, 0x0F}));  // 0x10001234 - 0x73614F
  EXPECT_EQ(Bytes(EncodeJump(0x1000u, 0x0F00u)),
            (std::vector<uint8_t>{0xE9, 0xFB, 0xFE, 0xFF, 0xFF}));
}

TEST(EncodersTest, CallFillFillAndFillJump) {
  EXPECT_EQ(Bytes(EncodeCallFill(0x7F8704u, 0x7F8804u, 4)),
            (std::vector<uint8_t>{0xE8, 0xFB, 0x00, 0x00, 0x00, 0x90, 0x90, 0x90, 0x90}));
  EXPECT_EQ(
      Bytes(EncodeCallFill(0x7F9750u, 0x7F9750u, 6)),
      (std::vector<uint8_t>{0xE8, 0xFB, 0xFF, 0xFF, 0xFF, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90}));
  EXPECT_EQ(Bytes(EncodeFill(2)), (std::vector<uint8_t>{0x90, 0x90}));
  EXPECT_EQ(Bytes(EncodeFill(6)), (std::vector<uint8_t>(6, 0x90)));
  // The jump sits at site + 1, so its displacement is relative to site + 6.
  EXPECT_EQ(Bytes(EncodeFillJump(0x736282u, 0x736300u)),
            (std::vector<uint8_t>{0x90, 0xE9, 0x78, 0x00, 0x00, 0x00}));
}

TEST(CheckCodeTest, MatchingByteNeedsNoDialog) {
  FakeCodeMemory memory;
  memory.Put(0x723CCD, {0xA1});
  EXPECT_TRUE(CheckCode(memory, 0x723CCD, 0xA1, "Track Patch"));
  EXPECT_TRUE(memory.dialogs.empty());
  EXPECT_TRUE(memory.writes.empty());
  EXPECT_EQ(ProbeCode(memory, 0x723CCD), 0xA1);
}

TEST(CheckCodeTest, MismatchAsksOnceWithTheExactDialog) {
  FakeCodeMemory memory;
  memory.Put(0x7240B5, {0x5E});
  memory.answers = {FakeCodeMemory::kAnswerYes};
  EXPECT_FALSE(CheckCode(memory, 0x7240B5, 0x5F, "Track Patch"));
  ASSERT_EQ(memory.dialogs.size(), 1u);
  EXPECT_EQ(memory.dialogs[0].text,
            "An unknown code found at 0x007240B5 (Track Patch).\n"
            "Do you want to continue without this Function?");
  EXPECT_EQ(memory.dialogs[0].caption, "Pellix");
  EXPECT_EQ(memory.dialogs[0].flags, 0x114u);
  EXPECT_FALSE(memory.exited);
}

TEST(CheckCodeTest, AnswerNoEndsTheProcessWithCodeZero) {
  FakeCodeMemory memory;
  memory.Put(0x73B550, {0x00});
  memory.answers = {kAnswerNo};
  EXPECT_EQ(CheckSite(memory, 0x73B550, 0x6A, "Make Patch"), CheckOutcome::kQuit);
  EXPECT_TRUE(memory.exited);
  EXPECT_EQ(memory.exitCode, 0u);
}

TEST(CheckCodeTest, LongLabelsAreCutAtTheBuffer) {
  char buffer[kDialogBufferSize];
  const std::string label(3000, 'x');
  FormatMismatchMessage(buffer, sizeof buffer, 0xFFFFFFFFu, label.c_str());
  EXPECT_EQ(std::strlen(buffer), kDialogBufferSize - 1);
  EXPECT_EQ(std::string(buffer).rfind("An unknown code found at 0xFFFFFFFF (xxx", 0), 0u);
}

TEST(WriteCodeTest, WritesAndFillsExactlyTheGivenBytes) {
  FakeCodeMemory memory;
  const uint8_t bytes[3] = {1, 2, 3};
  WriteCode(memory, 0x736000, 3, bytes);
  NopCode(memory, 0x736003, 6);
  EXPECT_EQ(memory.Get(0x735FFF, 11),
            (std::vector<uint8_t>{0xCC, 1, 2, 3, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xCC}));
  NopCode(memory, 0x736100, 0);
  EXPECT_EQ(memory.writes.size(), 2u);
  NopCode(memory, 0x736200, 30);  // longer than one piece
  EXPECT_EQ(memory.Get(0x736200, 31), [] {
    std::vector<uint8_t> v(30, 0x90);
    v.push_back(0xCC);
    return v;
  }());
}

}  // namespace
}  // namespace pellix
