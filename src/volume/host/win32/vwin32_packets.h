#pragma once
// The two records that the VWIN32 device of the Windows 95/98 family
// exchanges for an extended absolute disk read (Int 21h function 7305h):
// the register block and the disk-I/O packet. Both are built as byte arrays
// with their fields stored little-endian, so this header compiles, and is
// tested, on every platform.
#include <array>
#include <cstddef>
#include <cstdint>

#include "volume/little_endian.h"

namespace quorvane::vwin32 {

// DeviceIoControl code of VWIN32 that runs an Int 21h function (VWIN32_DIOC_DOS_DRIVEINFO).
inline constexpr uint32_t kDiocDosDriveInfo = 6;
// Int 21h function: extended absolute disk read/write.
inline constexpr uint32_t kExtendedAbsoluteDiskIo = 0x7305;
// ECX of function 7305h: -1 says the parameters are in the packet at EBX.
inline constexpr uint32_t kUsePacket = 0xFFFFFFFF;
// ESI of function 7305h: bit 0 clear selects reading.
inline constexpr uint32_t kReadMode = 0;
// Bit 0 of the returned flags: the carry, set when the disk read failed.
inline constexpr uint32_t kCarryFlag = 1;

// Register block: seven 32-bit little-endian words, the device's input and
// output at once.
inline constexpr size_t kEbxOffset = 0;    // address of the disk-I/O packet
inline constexpr size_t kEdxOffset = 4;    // drive number, 1 = A:
inline constexpr size_t kEcxOffset = 8;    // kUsePacket
inline constexpr size_t kEaxOffset = 12;   // function number
inline constexpr size_t kEdiOffset = 16;   // unused by function 7305h
inline constexpr size_t kEsiOffset = 20;   // read/write mode
inline constexpr size_t kFlagsOffset = 24; // processor flags after the call
inline constexpr size_t kRegisterBlockSize = 28;
static_assert(kEdxOffset == kEbxOffset + 4 && kEcxOffset == kEdxOffset + 4 &&
              kEaxOffset == kEcxOffset + 4 && kEdiOffset == kEaxOffset + 4 &&
              kEsiOffset == kEdiOffset + 4 && kFlagsOffset == kEsiOffset + 4);
static_assert(kFlagsOffset + 4 == kRegisterBlockSize);

// Disk-I/O packet: packed without gaps.
inline constexpr size_t kFirstSectorOffset = 0;  // 32-bit absolute sector number
inline constexpr size_t kCountOffset = 4;        // 16-bit number of sectors
inline constexpr size_t kBufferOffset = 6;       // 32-bit address of the receiving buffer
inline constexpr size_t kDiskIoPacketSize = 10;
static_assert(kCountOffset == kFirstSectorOffset + 4 && kBufferOffset == kCountOffset + 2);
static_assert(kBufferOffset + 4 == kDiskIoPacketSize);

// The most sectors one packet can carry.
inline constexpr uint32_t kMaxSectorsPerPacket = 0xFFFF;

// The device reads and writes the block in place, so it is kept 4-aligned
// like the register image it stands for.
struct alignas(4) RegisterBlock {
  std::array<uint8_t, kRegisterBlockSize> bytes{};
};
struct DiskIoPacket {
  std::array<uint8_t, kDiskIoPacketSize> bytes{};
};
static_assert(sizeof(RegisterBlock) == kRegisterBlockSize);
static_assert(sizeof(DiskIoPacket) == kDiskIoPacketSize);

// Addresses travel in 32-bit fields: the device exists only on the 32-bit
// Windows 95/98 family, where every address fits. Callers on other systems
// never reach the device (see vwin32_device.cpp).
inline DiskIoPacket MakeReadPacket(uint32_t first_sector, uint16_t count,
                                   uint32_t buffer_address) {
  DiskIoPacket packet;
  StoreLe32(packet.bytes, kFirstSectorOffset, first_sector);
  StoreLe16(packet.bytes, kCountOffset, count);
  StoreLe32(packet.bytes, kBufferOffset, buffer_address);
  return packet;
}

inline RegisterBlock MakeReadRegisters(uint32_t packet_address, int32_t drive) {
  RegisterBlock block;
  StoreLe32(block.bytes, kEbxOffset, packet_address);
  StoreLe32(block.bytes, kEdxOffset, static_cast<uint32_t>(drive));
  StoreLe32(block.bytes, kEcxOffset, kUsePacket);
  StoreLe32(block.bytes, kEaxOffset, kExtendedAbsoluteDiskIo);
  StoreLe32(block.bytes, kEsiOffset, kReadMode);
  return block;
}

// Whether the returned block says the disk read failed (carry set).
inline bool ReadFailed(const RegisterBlock& block) {
  return (LoadLe32(block.bytes, kFlagsOffset) & kCarryFlag) != 0;
}

}  // namespace quorvane::vwin32
