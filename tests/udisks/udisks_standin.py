#!/usr/bin/env python3
"""A stand-in for the UDisks2 daemon, for the tests: it takes the name
org.freedesktop.UDisks2 on the bus at DBUS_SYSTEM_BUS_ADDRESS and serves what
Quorvane asks of UDisks2, over real FAT32 images instead of block devices:

  /org/freedesktop/UDisks2                ObjectManager.GetManagedObjects
  /org/freedesktop/UDisks2/block_devices/NAME
                                          Block.OpenDevice, Block.OpenForBackup

Usage: udisks_standin.py SETUP.json, where SETUP holds
  "blocks": [{"name": "sdb2", "image": PATH or null, "id_type": "vfat",
              "id_version": "FAT32", "label": "", "size": BYTES,
              "hint_ignore": false, "mount_points": [PATH, ...],
              "device_number": DEV_T,
              "partition": {"number": 2, "offset": BYTES, "type": "0x0c"}}, ...]
            in the order GetManagedObjects gives them; a block's device
            number is by default one of the range Linux keeps for local
            use (major 250), which no device of the machine has; a block
            without "partition" (a whole disk) has no Partition interface;
  "open":   "device" (OpenDevice and OpenForBackup), "backup-only" (no
            OpenDevice, as before UDisks 2.7.3), "read-write" (a descriptor
            that could write, which no client may take), or an error name
            with which every open is refused;
  "silent": true to take the name and never answer GetManagedObjects;
  "calls":  a file that gets one JSON line a call.
It prints "ready" on standard output once it owns the name.
"""
import json
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = "/org/freedesktop/UDisks2"
BLOCK = "org.freedesktop.UDisks2.Block"
FILESYSTEM = "org.freedesktop.UDisks2.Filesystem"
PARTITION = "org.freedesktop.UDisks2.Partition"


def byte_string(text):
    """UDisks2 gives paths as arrays of bytes with a trailing NUL."""
    return dbus.ByteArray(text.encode() + b"\0")


class Daemon:
    def __init__(self, setup):
        self.setup = setup

    def note(self, **call):
        with open(self.setup["calls"], "a") as calls:
            calls.write(json.dumps(call) + "\n")

    def properties(self, block, position):
        image = block.get("image")
        size = block.get("size", os.path.getsize(image) if image else 0)
        interfaces = {
            BLOCK: dbus.Dictionary({
                "Device": byte_string("/dev/" + block["name"]),
                # Properties the client has no use for, of the same types.
                "PreferredDevice": byte_string("/dev/" + block["name"]),
                "DeviceNumber": dbus.UInt64(block.get("device_number", os.makedev(250, position))),
                "Size": dbus.UInt64(size),
                "IdType": block.get("id_type", ""),
                "IdVersion": block.get("id_version", ""),
                "IdLabel": block.get("label", ""),
                "HintIgnore": dbus.Boolean(block.get("hint_ignore", False)),
            }, signature="sv"),
        }
        partition = block.get("partition")
        if partition:
            interfaces[PARTITION] = dbus.Dictionary({
                "Number": dbus.UInt32(partition["number"]),
                "Offset": dbus.UInt64(partition.get("offset", 0)),
                "Size": dbus.UInt64(size),
                # Properties the client has no use for.
                "Type": partition.get("type", "0x0c"),
            }, signature="sv")
        if block.get("id_type"):
            points = [byte_string(point) for point in block.get("mount_points", [])]
            interfaces[FILESYSTEM] = dbus.Dictionary({
                "MountPoints": dbus.Array(points, signature="ay"),
                "Size": dbus.UInt64(size)}, signature="sv")
        return dbus.Dictionary(interfaces, signature="sa{sv}")

    def managed_objects(self):
        objects = dbus.Dictionary({}, signature="oa{sa{sv}}")
        # A drive object without the Block interface, as the daemon has one
        # per disk: never a drive of the table.
        objects[MANAGER + "/drives/Stand_In_Card"] = dbus.Dictionary(
            {"org.freedesktop.UDisks2.Drive": dbus.Dictionary(
                {"Model": "Stand-In Card", "Size": dbus.UInt64(1 << 30)}, signature="sv")},
            signature="sa{sv}")
        for position, block in enumerate(self.setup["blocks"]):
            objects[MANAGER + "/block_devices/" + block["name"]] = self.properties(block, position)
        return objects


class Manager(dbus.service.Object):
    def __init__(self, bus, daemon):
        super().__init__(bus, MANAGER)
        self.daemon = daemon

    @dbus.service.method("org.freedesktop.DBus.ObjectManager", in_signature="",
                         out_signature="a{oa{sa{sv}}}", async_callbacks=("reply", "error"))
    def GetManagedObjects(self, reply, error):
        self.daemon.note(method="GetManagedObjects")
        if not self.daemon.setup.get("silent"):
            reply(self.daemon.managed_objects())


class OldBlock(dbus.service.Object):
    """A block device of a daemon that has only OpenForBackup."""

    def __init__(self, bus, daemon, block):
        super().__init__(bus, MANAGER + "/block_devices/" + block["name"])
        self.daemon = daemon
        self.block = block

    def open(self, method, message, options, mode=None):
        self.daemon.note(method=method, path=self._object_path, mode=mode,
                         options={str(k): bool(v) if isinstance(v, dbus.Boolean) else str(v)
                                  for k, v in options.items()},
                         interactive=bool(message.get_allow_interactive_authorization()))
        opening = self.daemon.setup.get("open", "device")
        if opening not in ("device", "backup-only", "read-write"):
            raise dbus.exceptions.DBusException("Not authorized to perform operation",
                                                name=opening)
        # Read-only, as the daemon opens a device for mode "r" and for a
        # backup; the test checks that the image never changes.
        access = os.O_RDWR if opening == "read-write" else os.O_RDONLY
        fd = os.open(self.block["image"], access | os.O_CLOEXEC)
        try:
            return dbus.types.UnixFd(fd)
        finally:
            os.close(fd)

    @dbus.service.method(BLOCK, in_signature="a{sv}", out_signature="h", message_keyword="message")
    def OpenForBackup(self, options, message):
        return self.open("OpenForBackup", message, options)


class Block(OldBlock):
    @dbus.service.method(BLOCK, in_signature="sa{sv}", out_signature="h", message_keyword="message")
    def OpenDevice(self, mode, options, message):
        return self.open("OpenDevice", message, options, str(mode))


def main():
    with open(sys.argv[1]) as setup_file:
        setup = json.load(setup_file)
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(os.environ["DBUS_SYSTEM_BUS_ADDRESS"])
    daemon = Daemon(setup)
    keep = [Manager(bus, daemon)]
    kind = OldBlock if setup.get("open") == "backup-only" else Block
    keep += [kind(bus, daemon, block) for block in setup["blocks"] if block.get("image")]
    name = dbus.service.BusName("org.freedesktop.UDisks2", bus, do_not_queue=True)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    loop.run()
    del keep, name


if __name__ == "__main__":
    main()
