// The VWIN32 register block and disk-I/O packet of one read, byte for byte.
#include "volume/host/win32/vwin32_packets.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace quorvane::vwin32 {
namespace {

TEST(Vwin32Packets, ReadPacketAndRegistersByteForByte) {
  const std::array<uint8_t, 10> packet = {
      0x78, 0x56, 0x34, 0x12,  // first sector
      0xCD, 0xAB,              // number of sectors
      0xEE, 0xFF, 0xC0, 0x00,  // buffer address
  };
  EXPECT_EQ(MakeReadPacket(0x12345678, 0xABCD, 0x00C0FFEE).bytes, packet);

  RegisterBlock block = MakeReadRegisters(0x0040A0B0, 4);  // D:
  const std::array<uint8_t, 28> registers = {
      0xB0, 0xA0, 0x40, 0x00,  // EBX: packet address
      0x04, 0x00, 0x00, 0x00,  // EDX: drive, 1 = A:
      0xFF, 0xFF, 0xFF, 0xFF,  // ECX: -1, parameters in the packet
      0x05, 0x73, 0x00, 0x00,  // EAX: 7305h
      0, 0, 0, 0,              // EDI
      0, 0, 0, 0,              // ESI: bit 0 clear, reading
      0, 0, 0, 0,              // flags
  };
  EXPECT_EQ(block.bytes, registers);

  // Only the carry bit of the returned flags means failure.
  block.bytes[kFlagsOffset] = 0x46;
  block.bytes[kFlagsOffset + 1] = 0x03;
  block.bytes[kFlagsOffset - 4] = 0x01;
  EXPECT_FALSE(ReadFailed(block));
  block.bytes[kFlagsOffset] = 0x47;
  EXPECT_TRUE(ReadFailed(block));
}

}  // namespace
}  // namespace quorvane::vwin32
