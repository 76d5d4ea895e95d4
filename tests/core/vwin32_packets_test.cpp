// The VWIN32 register block and disk-I/O packet, byte for byte, for one read
// request: the device sees nothing but these bytes.
#include "volume/win32/vwin32_packets.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace quorvane::vwin32 {
namespace {

TEST(Vwin32PacketsTest, ReadPacketHoldsSectorCountAndBufferLittleEndianWithoutGaps) {
  const DiskIoPacket packet = MakeReadPacket(0x12345678, 0xABCD, 0x00C0FFEE);
  const std::array<uint8_t, 10> expected = {
      0x78, 0x56, 0x34, 0x12,  // first sector
      0xCD, 0xAB,              // number of sectors
      0xEE, 0xFF, 0xC0, 0x00,  // buffer address
  };
  EXPECT_EQ(packet.bytes, expected);

  // The widest values fill their fields and spill into no neighbour.
  const DiskIoPacket widest = MakeReadPacket(0xFFFFFFFF, kMaxSectorsPerPacket, 0);
  const std::array<uint8_t, 10> widest_expected = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(widest.bytes, widest_expected);
}

TEST(Vwin32PacketsTest, ReadRegistersAskForFunction7305OnTheDriveWithThePacket) {
  const RegisterBlock block = MakeReadRegisters(0x0040A0B0, 4);  // drive 4 = D:
  const std::array<uint8_t, 28> expected = {
      0xB0, 0xA0, 0x40, 0x00,  // EBX: packet address
      0x04, 0x00, 0x00, 0x00,  // EDX: drive number, 1 = A:
      0xFF, 0xFF, 0xFF, 0xFF,  // ECX: -1, parameters in the packet
      0x05, 0x73, 0x00, 0x00,  // EAX: 7305h
      0x00, 0x00, 0x00, 0x00,  // EDI: unused
      0x00, 0x00, 0x00, 0x00,  // ESI: bit 0 clear, reading
      0x00, 0x00, 0x00, 0x00,  // flags: written by the device
  };
  EXPECT_EQ(block.bytes, expected);
}

TEST(Vwin32PacketsTest, OnlyTheCarryBitOfTheReturnedFlagsMeansFailure) {
  RegisterBlock block = MakeReadRegisters(0x1000, 3);
  EXPECT_FALSE(ReadFailed(block));

  // Zero, parity and interrupt flags set, carry clear: the read succeeded.
  block.bytes[kFlagsOffset] = 0x46;
  block.bytes[kFlagsOffset + 1] = 0x02;
  EXPECT_FALSE(ReadFailed(block));

  block.bytes[kFlagsOffset] = 0x47;
  EXPECT_TRUE(ReadFailed(block));

  // Bit 0 of another register or of a higher flags byte is no carry.
  block = MakeReadRegisters(0x1001, 3);
  block.bytes[kFlagsOffset + 1] = 0x01;
  block.bytes[kFlagsOffset - 4] = 0x01;
  EXPECT_FALSE(ReadFailed(block));
}

}  // namespace
}  // namespace quorvane::vwin32
