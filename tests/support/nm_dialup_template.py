'''NetworkManager with a dial life cycle, for the dial-up tests.

The stock template opens a connection at once and never signals a state. Here activating
a profile goes "activating" then, after a short delay, "activated"; deactivating goes
"deactivating" then "deactivated" with reason 2 (user disconnected). Helpers on the mock
interface force a failed dial, a refused one, one that never finishes, or a remote drop,
and add dial-up profiles whose secrets come back the way NetworkManager returns them.
'''

import sys
import types
import uuid

import dbus
import dbusmock
from dbusmock import MOCK_IFACE
from gi.repository import GLib

from dbusmock.templates.networkmanager import *  # noqa: F401,F403  pylint: disable=wildcard-import
from dbusmock.templates import networkmanager as stock

STATE_ACTIVATING = 1
STATE_ACTIVATED = 2
STATE_DEACTIVATING = 3
STATE_DEACTIVATED = 4
REASON_NONE = 1
REASON_USER_DISCONNECTED = 2

# How the next dials go: 'connect', 'fail' (closes with `reason`), 'refuse' (the call
# fails) or 'hold' (stays activating).
_dial = {'mode': 'connect', 'reason': REASON_NONE, 'delay': 50, 'hangup': 'close'}

# The mock's Reset runs this file again; what must outlive that lives in a module of its
# own: the number of the next active connection (paths are never reused, so a timer of an
# earlier test cannot reach a newer connection) and the timers still pending.
_kept = sys.modules.setdefault('quorvel_nm_dialup_state', types.ModuleType('quorvel_nm_dialup_state'))
if not hasattr(_kept, 'next_id'):
    _kept.next_id = 100
    _kept.timers = set()


def _later(delay, fn):
    '''Runs fn once after delay ms, unless the mock is reset first.'''
    def run():
        _kept.timers.discard(source)
        fn()
        return False
    source = GLib.timeout_add(delay, run)
    _kept.timers.add(source)


def _manager():
    return dbusmock.get_object(stock.MANAGER_OBJ)


def _active_paths():
    return list(_manager().Get(stock.MANAGER_IFACE, 'ActiveConnections'))


def _is_active(path):
    return dbus.ObjectPath(path) in _active_paths()


def _set_state(path, state, reason):
    if not _is_active(path):
        return
    obj = dbusmock.get_object(path)
    obj.Set(stock.ACTIVE_CONNECTION_IFACE, 'State', dbus.UInt32(state))
    obj.EmitSignal(stock.ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu',
                   [dbus.UInt32(state), dbus.UInt32(reason)])


def _remove(mock, path):
    actives = _active_paths()
    if dbus.ObjectPath(path) not in actives:
        return
    actives.remove(dbus.ObjectPath(path))
    _manager().SetProperty(stock.MANAGER_OBJ, stock.MANAGER_IFACE, 'ActiveConnections',
                           dbus.Array(actives, signature='o'))
    mock.object_manager_emit_removed(path)
    mock.RemoveObject(path)


def _close(mock, path, reason, delay):
    '''deactivating now, deactivated after `delay` ms, then the object goes away.'''
    _set_state(path, STATE_DEACTIVATING, reason)

    def finish():
        _set_state(path, STATE_DEACTIVATED, reason)
        _remove(mock, path)
    _later(delay, finish)


def _new_active(mock, conn, state):
    if dbus.ObjectPath(conn) not in dbusmock.get_object(stock.SETTINGS_OBJ).ListConnections():
        raise dbus.exceptions.DBusException(f'No connection {conn}',
                                            name='org.freedesktop.NetworkManager.UnknownConnection')
    # Fresh numbers, so a late timer never reaches a newer connection on a reused path.
    _kept.next_id += 1
    return dbus.ObjectPath(stock.AddActiveConnection(mock, [], conn, '/', str(_kept.next_id), state))


def activate_connection(self, conn, _dev, _ap):
    mode = _dial['mode']
    if mode == 'refuse':
        raise dbus.exceptions.DBusException('Activation refused',
                                            name='org.freedesktop.NetworkManager.ConnectionNotAvailable')
    path = _new_active(self, conn, STATE_ACTIVATING)
    reason = _dial['reason']

    def settle():
        if mode == 'connect':
            _set_state(path, STATE_ACTIVATED, REASON_NONE)
        elif mode == 'fail':
            _close(self, path, reason, 10)
    # After the reply, as NetworkManager does.
    _later(0, lambda: _set_state(path, STATE_ACTIVATING, 0))
    _later(_dial['delay'], settle)
    return path


def deactivate_connection(self, active_path):
    if _dial['hangup'] == 'refuse':
        raise dbus.exceptions.DBusException('Deactivation refused',
                                            name='org.freedesktop.NetworkManager.PermissionDenied')
    if not _is_active(active_path):
        raise dbus.exceptions.DBusException(f'{active_path} is not active',
                                            name='org.freedesktop.NetworkManager.ConnectionNotActive')
    _close(self, active_path, REASON_USER_DISCONNECTED, 20)


def _get_secrets(self, setting):
    '''NetworkManager's shape: {setting: {key: value}}, only the secrets.'''
    return {setting: self.secrets.get(setting, {})}


SECRET_KEYS = ('password', 'pin', 'secrets')
UPDATE_TO_DISK = 0x1


def _copy_secrets(secrets):
    return {name: {key: (dict(value) if key == 'secrets' else value)
                   for key, value in values.items()}
            for name, values in secrets.items()}


def _update2(self, settings, flags, _args):
    '''As NetworkManager: an update that holds no secrets keeps the existing ones, one that
    holds any replaces them all. With flag 0x1 the profile goes to disk too; without it
    only the copy in memory changes.'''
    secrets = {}
    for name, values in settings.items():
        for key, value in values.items():
            if key in SECRET_KEYS:
                secrets.setdefault(name, {})[key] = value
            else:
                self.settings.setdefault(name, {})[key] = value
    if secrets:
        self.secrets = secrets
    if int(flags) & UPDATE_TO_DISK:
        self.saved_secrets = _copy_secrets(self.secrets)
    self.update_flags = int(flags)
    return {}


def load(mock, parameters):
    # Also run by the mock's Reset: every test starts with dials that connect.
    _dial.update({'mode': 'connect', 'reason': REASON_NONE, 'delay': 50, 'hangup': 'close'})
    for source in list(_kept.timers):
        GLib.source_remove(source)
    _kept.timers.clear()
    stock.load(mock, parameters)
    manager = _manager()
    manager.activate_connection = activate_connection
    manager.deactivate_connection = deactivate_connection


@dbus.service.method(MOCK_IFACE, in_signature='sssss', out_signature='o')
def AddDialProfile(self, name, kind, user, password, number):
    '''A profile of kind pppoe, gsm, vpn or anything else (which keeps no credentials).'''
    # Nested values as NetworkManager sends them, so a client that writes a profile back
    # has to return them intact.
    settings = {'connection': {'id': name, 'type': kind, 'uuid': str(uuid.uuid4()),
                               'autoconnect': False},
                'ipv4': {'method': 'auto',
                         'dns': dbus.Array([dbus.UInt32(0x08080808)], signature='u'),
                         'dns-search': dbus.Array(['example.net'], signature='s'),
                         'address-data': dbus.Array([{'address': '10.0.0.2', 'prefix': dbus.UInt32(24)}],
                                                    signature='a{sv}')},
                '802-3-ethernet': {'mac-address': dbus.ByteArray(b'\x02\x00\x00\x00\x00\x01')}}
    secrets = {}
    if kind == 'pppoe':
        settings['pppoe'] = {'username': user}
        secrets['pppoe'] = {'password': password}
    elif kind == 'gsm':
        settings['gsm'] = {'username': user, 'number': number, 'apn': 'internet'}
        secrets['gsm'] = {'password': password, 'pin': '4711'}
    elif kind == 'vpn':
        settings['vpn'] = {'user-name': user,
                           'service-type': 'org.freedesktop.NetworkManager.openvpn'}
        secrets['vpn'] = {'secrets': dbus.Dictionary({'password': password}, signature='ss')}
    path = stock.SettingsAddConnection(self, settings)
    obj = dbusmock.get_object(path)
    obj.secrets = secrets
    obj.saved_secrets = _copy_secrets(secrets)
    obj.update_flags = 0
    obj.ConnectionGetSecrets = _get_secrets
    obj.ConnectionUpdate2 = _update2
    obj.AddMethod(stock.CSETTINGS_IFACE, 'Update2', 'a{sa{sv}}ua{sv}', 'a{sv}',
                  'ret = self.ConnectionUpdate2(self, args[0], args[1], args[2])')
    return path


@dbus.service.method(MOCK_IFACE, in_signature='o', out_signature='ssu')
def StoredCredentials(_self, profile):
    '''User name, password and the flags of the last Update2 of a profile.'''
    obj = dbusmock.get_object(profile)
    kind = obj.settings['connection']['type']
    user_key = 'user-name' if kind == 'vpn' else 'username'
    user = obj.settings.get(kind, {}).get(user_key, '')
    return (user, _secret(obj.secrets, kind, 'password'), dbus.UInt32(obj.update_flags))


def _secret(secrets, setting, key):
    values = secrets.get(setting, {})
    if setting == 'vpn':
        values = values.get('secrets', {})
    return str(values.get(key, ''))


@dbus.service.method(MOCK_IFACE, in_signature='ossb', out_signature='s')
def StoredSecret(_self, profile, setting, key, on_disk):
    '''One secret of a profile as NetworkManager holds it in memory, or on disk.'''
    obj = dbusmock.get_object(profile)
    return _secret(obj.saved_secrets if on_disk else obj.secrets, setting, key)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def SetHangUpRefused(_self, refused):
    _dial['hangup'] = 'refuse' if refused else 'close'


@dbus.service.method(MOCK_IFACE, in_signature='oss', out_signature='v')
def SettingValue(_self, profile, setting, key):
    '''One stored value of a profile, as it is now.'''
    return dbusmock.get_object(profile).settings[setting][key]


@dbus.service.method(MOCK_IFACE, in_signature='suu', out_signature='')
def SetDialOutcome(_self, mode, reason, delay_ms):
    if mode not in ('connect', 'fail', 'refuse', 'hold'):
        raise dbus.exceptions.DBusException(f'Unknown mode {mode}',
                                            name='org.freedesktop.DBus.Error.InvalidArgs')
    _dial.update({'mode': mode, 'reason': int(reason), 'delay': int(delay_ms)})


@dbus.service.method(MOCK_IFACE, in_signature='o', out_signature='o')
def OpenConnection(self, profile):
    '''A connection already open, as if brought up by someone else.'''
    return _new_active(self, profile, STATE_ACTIVATED)


@dbus.service.method(MOCK_IFACE, in_signature='ou', out_signature='')
def DropConnection(self, active_path, reason):
    '''The line closes from the far side with `reason`.'''
    _close(self, active_path, int(reason), 10)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def ActiveIds(_self):
    '''The profile names of the connections opening or open, in order.'''
    names = []
    for p in _active_paths():
        obj = dbusmock.get_object(p)
        if obj.Get(stock.ACTIVE_CONNECTION_IFACE, 'State') in (STATE_ACTIVATING, STATE_ACTIVATED):
            names.append(obj.Get(stock.ACTIVE_CONNECTION_IFACE, 'Id'))
    return names


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='o')
def ActivePathOf(_self, name):
    for p in _active_paths():
        if dbusmock.get_object(p).Get(stock.ACTIVE_CONNECTION_IFACE, 'Id') == name:
            return p
    raise dbus.exceptions.DBusException(f'{name} is not open',
                                        name='org.freedesktop.NetworkManager.ConnectionNotActive')
