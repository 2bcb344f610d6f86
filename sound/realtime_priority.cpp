// Real-time scheduling through RealtimeKit (D-Bus) or, where allowed, directly.
#include "sound/realtime_priority.h"

#include <dbus/dbus.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kelvak {

namespace {

constexpr const char* kService = "org.freedesktop.RealtimeKit1";
constexpr const char* kPath = "/org/freedesktop/RealtimeKit1";
constexpr int kCallTimeout = 1000;  // [ms] for each bus call

// Reads an integer property of RealtimeKit; false when it has none.
bool readProperty(DBusConnection* bus, const char* name, std::int64_t* value) {
  DBusMessage* m =
      dbus_message_new_method_call(kService, kPath, "org.freedesktop.DBus.Properties", "Get");
  if (!m) return false;
  const char* iface = kService;
  dbus_message_append_args(m, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
  DBusError err;
  dbus_error_init(&err);
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, m, kCallTimeout, &err);
  dbus_message_unref(m);
  bool ok = false;
  if (reply) {
    DBusMessageIter it, variant;
    if (dbus_message_iter_init(reply, &it) &&
        dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
      dbus_message_iter_recurse(&it, &variant);
      const int type = dbus_message_iter_get_arg_type(&variant);
      if (type == DBUS_TYPE_INT32) {
        dbus_int32_t v = 0;
        dbus_message_iter_get_basic(&variant, &v);
        *value = v;
        ok = true;
      } else if (type == DBUS_TYPE_INT64) {
        dbus_int64_t v = 0;
        dbus_message_iter_get_basic(&variant, &v);
        *value = v;
        ok = true;
      }
    }
    dbus_message_unref(reply);
  }
  dbus_error_free(&err);
  return ok;
}

bool fromRealtimeKit(pid_t tid, int priority, std::string* why) {
  DBusError err;
  dbus_error_init(&err);
  DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &err);
  if (!bus) {
    *why =
        std::string("RealtimeKit not reachable (") + (err.message ? err.message : "no bus") + ")";
    dbus_error_free(&err);
    return false;
  }
  dbus_connection_set_exit_on_disconnect(bus, FALSE);

  // RealtimeKit grants only to processes that limit their real-time CPU time, and only up to its
  // own maximum priority.
  std::int64_t maxPriority = priority, maxRtTime = 0;
  readProperty(bus, "MaxRealtimePriority", &maxPriority);
  if (readProperty(bus, "RTTimeUSecMax", &maxRtTime) && maxRtTime > 0) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > rlim_t(maxRtTime))) {
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(maxRtTime);
      setrlimit(RLIMIT_RTTIME, &limit);
    }
  }

  DBusMessage* m = dbus_message_new_method_call(kService, kPath, kService, "MakeThreadRealtime");
  bool ok = false;
  if (m) {
    dbus_uint64_t thread = static_cast<dbus_uint64_t>(tid);
    dbus_uint32_t prio =
        static_cast<dbus_uint32_t>(std::clamp<std::int64_t>(priority, 1, maxPriority));
    dbus_message_append_args(m, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &prio,
                             DBUS_TYPE_INVALID);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, m, kCallTimeout, &err);
    dbus_message_unref(m);
    if (reply) {
      ok = dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_ERROR;
      dbus_message_unref(reply);
    }
    if (!ok) {
      *why = std::string("RealtimeKit refused (") + (err.message ? err.message : "?") + ")";
    }
  }
  dbus_error_free(&err);
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return ok;
}

}  // namespace

RealtimeGrant requestRealtime(pid_t tid, int priority) {
  std::string why;
  if (fromRealtimeKit(tid, priority, &why)) return {true, "RealtimeKit"};
  sched_param param{};
  param.sched_priority = priority;
  if (sched_setscheduler(tid, SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0) {
    return {true, "direct; " + why};
  }
  return {false, why + "; directly: " + std::strerror(errno)};
}

}  // namespace kelvak
