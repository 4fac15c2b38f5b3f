#!/usr/bin/python3
"""notify_fake.py - a fake freedesktop notification server (org.freedesktop.Notifications,
version 1.2) for tests. Owns the name on the session bus in DBUS_SESSION_BUS_ADDRESS (or
--address) and logs every call as one JSON line.

  notify_fake.py [--address ADDR] [--log FILE] [--ready-file FILE] [--caps body,actions]
                 [--fail-notify] [--delay S] [--close-after MS] [--invoke-action KEY]

  --log FILE         append JSON lines there (default: stdout, flushed per line)
  --ready-file FILE  written (with the pid) once the bus name is owned: wait for it
  --caps LIST        answer of GetCapabilities (default body,body-markup,actions)
  --fail-notify      Notify answers the D-Bus error org.freedesktop.DBus.Error.Failed
  --delay S          sleep S seconds before answering Notify (client time-out tests)
  --close-after MS   emit NotificationClosed(id, 1 = expired) MS ms after each Notify
  --invoke-action K  emit ActionInvoked(id, K) right after each Notify that offers action K
Needs python3-dbus and python3-gi (Debian: /usr/bin/python3, not a pyenv/venv python).
Exit: SIGTERM/SIGINT -> exit 0; name already owned -> exit 3.
"""
import argparse, json, os, signal, sys, time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
IFACE = "org.freedesktop.Notifications"


def plain(v):
    """D-Bus values -> JSON-friendly Python values."""
    if isinstance(v, (dbus.Array, list)):
        return [plain(x) for x in v]
    if isinstance(v, (dbus.Dictionary, dict)):
        return {str(k): plain(x) for k, x in v.items()}
    if isinstance(v, dbus.Struct):
        return [plain(x) for x in v]
    if isinstance(v, dbus.Boolean):
        return bool(v)
    if isinstance(v, (dbus.Byte, dbus.Int16, dbus.Int32, dbus.Int64, dbus.UInt16, dbus.UInt32, dbus.UInt64)):
        return int(v)
    if isinstance(v, dbus.Double):
        return float(v)
    if isinstance(v, (dbus.String, dbus.ObjectPath, dbus.Signature)):
        return str(v)
    if isinstance(v, (bytes, bytearray)):
        return v.hex()
    return v


class Server(dbus.service.Object):
    def __init__(self, bus, args, out):
        super().__init__(bus, PATH)
        self.args, self.out, self.next_id = args, out, 1

    def log(self, method, **kw):
        rec = {"t": round(time.time(), 3), "method": method}
        rec.update(kw)
        self.out.write(json.dumps(rec, ensure_ascii=False) + "\n")
        self.out.flush()

    @dbus.service.method(IFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        self.log("GetCapabilities")
        return self.args.caps.split(",") if self.args.caps else []

    @dbus.service.method(IFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        self.log("GetServerInformation")
        return ("notify-fake", "tests", "0.1", "1.2")

    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u", sender_keyword="sender")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout, sender=None):
        nid = int(replaces_id) if replaces_id else self.next_id
        if not replaces_id:
            self.next_id += 1
        self.log("Notify", id=nid, sender=str(sender), app_name=str(app_name), replaces_id=int(replaces_id),
                 app_icon=str(app_icon), summary=str(summary), body=str(body), actions=plain(actions),
                 hints=plain(hints), expire_timeout=int(expire_timeout))
        if self.args.fail_notify:
            raise dbus.exceptions.DBusException("notify-fake: told to fail", name="org.freedesktop.DBus.Error.Failed")
        if self.args.delay:
            time.sleep(self.args.delay)
        if self.args.close_after is not None:
            GLib.timeout_add(self.args.close_after, self._closed, nid, 1)
        if self.args.invoke_action and self.args.invoke_action in [str(a) for a in actions[0::2]]:
            GLib.idle_add(self._invoke, nid, self.args.invoke_action)
        return dbus.UInt32(nid)

    @dbus.service.method(IFACE, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        self.log("CloseNotification", id=int(nid))
        GLib.idle_add(self._closed, int(nid), 3)

    @dbus.service.signal(IFACE, signature="uu")
    def NotificationClosed(self, nid, reason):
        self.log("signal NotificationClosed", id=int(nid), reason=int(reason))

    @dbus.service.signal(IFACE, signature="us")
    def ActionInvoked(self, nid, key):
        self.log("signal ActionInvoked", id=int(nid), action=str(key))

    def _closed(self, nid, reason):
        self.NotificationClosed(dbus.UInt32(nid), dbus.UInt32(reason))
        return False

    def _invoke(self, nid, key):
        self.ActionInvoked(dbus.UInt32(nid), key)
        return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--address")
    ap.add_argument("--log")
    ap.add_argument("--ready-file")
    ap.add_argument("--caps", default="body,body-markup,actions")
    ap.add_argument("--fail-notify", action="store_true")
    ap.add_argument("--delay", type=float, default=0)
    ap.add_argument("--close-after", type=int)
    ap.add_argument("--invoke-action")
    a = ap.parse_args()

    DBusGMainLoop(set_as_default=True)
    if a.address:
        bus = dbus.bus.BusConnection(a.address)
    else:
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            sys.exit("notify-fake: no DBUS_SESSION_BUS_ADDRESS and no --address")
        bus = dbus.SessionBus()
    r = bus.request_name(BUS_NAME, dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
    if r not in (dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER, dbus.bus.REQUEST_NAME_REPLY_ALREADY_OWNER):
        print("notify-fake: %s is already owned on this bus" % BUS_NAME, file=sys.stderr)
        sys.exit(3)
    out = open(a.log, "a", encoding="utf-8") if a.log else sys.stdout
    Server(bus, a, out)
    loop = GLib.MainLoop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, sig, loop.quit)
    if a.ready_file:
        with open(a.ready_file + ".tmp", "w") as f:
            f.write("%d\n" % os.getpid())
        os.rename(a.ready_file + ".tmp", a.ready_file)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
