/* The yardstick for quennet's own cost: the least a program can do to answer `status <id>...` (or
 * `whoami`) with the same bytes. It makes the same Steam calls in the same order (bench/run compares
 * the two call logs), decodes and escapes strings the same way and writes each record with one
 * write, but checks nothing: no argument rules, no failure records, no lost-record guards.
 *
 *   minimal_status whoami
 *   minimal_status status <id>...
 */
#include <dlfcn.h>
#include <limits.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int32_t (*InitFlat)(char*);
typedef void (*Void)(void);
typedef void* (*Interface)(void);
typedef int32_t (*GetPipe)(void);
typedef void (*RunFrame)(int32_t);
typedef bool (*NextCallback)(int32_t, void*);
typedef uint64_t (*SteamId)(void*);
typedef const char* (*PersonaName)(void*);
typedef uint32_t (*ItemState)(void*, uint64_t);
typedef bool (*InstallInfo)(void*, uint64_t, uint64_t*, char*, uint32_t, uint32_t*);

static char* out;
static size_t used, capacity;

static void put(const char* bytes, size_t length) {
  if (used + length > capacity) {
    capacity = (used + length) * 2;
    out = realloc(out, capacity);
    if (!out) abort();
  }
  memcpy(out + used, bytes, length);
  used += length;
}

static void put_text(const char* text) { put(text, strlen(text)); }

static void put_uint(uint64_t value) {
  char digits[20];
  size_t at = sizeof digits;
  do {
    digits[--at] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  put(digits + at, sizeof digits - at);
}

/* Length of the well-formed UTF-8 sequence at s[0..n), or minus the length of the maximal
 * ill-formed part there. */
static long sequence(const unsigned char* s, size_t n) {
  unsigned char lo = 0x80, hi = 0xBF;
  size_t length;
  if (s[0] < 0x80) return 1;
  if (s[0] >= 0xC2 && s[0] <= 0xDF) length = 2;
  else if (s[0] >= 0xE0 && s[0] <= 0xEF) length = 3, lo = s[0] == 0xE0 ? 0xA0 : 0x80, hi = s[0] == 0xED ? 0x9F : 0xBF;
  else if (s[0] >= 0xF0 && s[0] <= 0xF4) length = 4, lo = s[0] == 0xF0 ? 0x90 : 0x80, hi = s[0] == 0xF4 ? 0x8F : 0xBF;
  else return -1;
  for (size_t i = 1; i < length; ++i) {
    if (i >= n || s[i] < lo || s[i] > hi) return -(long)i;
    lo = 0x80, hi = 0xBF;
  }
  return (long)length;
}

/* A JSON string of the bytes, ill-formed UTF-8 replaced by U+FFFD. */
static void put_string(const char* text, size_t n) {
  static const char hex[] = "0123456789abcdef";
  const unsigned char* s = (const unsigned char*)text;
  put("\"", 1);
  for (size_t i = 0; i < n;) {
    long length = sequence(s + i, n - i);
    if (length < 0) {
      put("\xEF\xBF\xBD", 3);
      i += (size_t)-length;
      continue;
    }
    if (s[i] >= 0x20 && s[i] != '"' && s[i] != '\\') {
      put((const char*)s + i, (size_t)length);
    } else {
      switch (s[i]) {
        case '"': put_text("\\\""); break;
        case '\\': put_text("\\\\"); break;
        case '\b': put_text("\\b"); break;
        case '\t': put_text("\\t"); break;
        case '\n': put_text("\\n"); break;
        case '\f': put_text("\\f"); break;
        case '\r': put_text("\\r"); break;
        default: {
          char escape[6] = {'\\', 'u', '0', '0', hex[s[i] >> 4], hex[s[i] & 15]};
          put(escape, 6);
        }
      }
    }
    i += (size_t)length;
  }
  put("\"", 1);
}

static void flush_record(void) {
  put("\n", 1);
  for (size_t at = 0; at < used;) {
    ssize_t written = write(1, out + at, used - at);
    if (written <= 0) break;
    at += (size_t)written;
  }
  used = 0;
}

static void* library(void) {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 32);
  if (length <= 0) return NULL;
  path[length] = 0;
  strcpy(strrchr(path, '/') + 1, "libsteam_api.so");
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

#define FUNCTION(type, name) type name = (type)dlsym(steam, #name)

int main(int argc, char** argv) {
  setenv("SteamAppId", "221100", 1);
  setenv("SteamGameId", "221100", 1);
  void* steam = library();
  if (!steam) return 1;
  FUNCTION(InitFlat, SteamAPI_InitFlat);
  FUNCTION(Void, SteamAPI_ManualDispatch_Init);
  FUNCTION(Void, SteamAPI_Shutdown);
  FUNCTION(Interface, SteamAPI_SteamUGC_v021);
  FUNCTION(Interface, SteamAPI_SteamUser_v023);
  FUNCTION(Interface, SteamAPI_SteamFriends_v018);
  FUNCTION(GetPipe, SteamAPI_GetHSteamPipe);
  FUNCTION(RunFrame, SteamAPI_ManualDispatch_RunFrame);
  FUNCTION(NextCallback, SteamAPI_ManualDispatch_GetNextCallback);
  FUNCTION(RunFrame, SteamAPI_ManualDispatch_FreeLastCallback);
  FUNCTION(SteamId, SteamAPI_ISteamUser_GetSteamID);
  FUNCTION(PersonaName, SteamAPI_ISteamFriends_GetPersonaName);
  FUNCTION(ItemState, SteamAPI_ISteamUGC_GetItemState);
  FUNCTION(InstallInfo, SteamAPI_ISteamUGC_GetItemInstallInfo);

  char message[1024] = {0};
  int32_t result = SteamAPI_InitFlat(message);
  if (result != 0) {
    /* The record quennet writes when Steam cannot be reached, as with Valve's library and no
     * Steam client. */
    const char* detail = result == 2   ? "We cannot connect to Steam, steam probably isn't running"
                         : result == 3 ? "Steam client appears to be out of date"
                                       : "Some other failure";
    char text[1400];
    int length = snprintf(text, sizeof text, "Could not connect to Steam (%s%s%s). Start Steam and log in "
                          "with an account that owns DayZ, then try again.", detail, message[0] ? ": " : "",
                          message);
    put_text("{\"type\":\"error\",\"code\":\"steam_not_running\",\"message\":");
    put_string(text, length < 0 ? 0 : (size_t)length < sizeof text ? (size_t)length : sizeof text - 1);
    put_text(",\"workshopId\":null}");
    flush_record();
    return 1;
  }
  SteamAPI_ManualDispatch_Init();

  uint64_t steam_id = SteamAPI_ISteamUser_GetSteamID(SteamAPI_SteamUser_v023());
  const char* persona = SteamAPI_ISteamFriends_GetPersonaName(SteamAPI_SteamFriends_v018());
  put_text("{\"type\":\"ready\",\"steamId\":\"");
  put_uint(steam_id);
  put_text("\",\"persona\":");
  put_string(persona ? persona : "", persona ? strlen(persona) : 0);
  put_text("}");
  flush_record();

  if (argc > 1 && strcmp(argv[1], "status") == 0) {
    int32_t pipe = SteamAPI_GetHSteamPipe();
    _Alignas(8) unsigned char callback[32];
    SteamAPI_ManualDispatch_RunFrame(pipe);
    while (SteamAPI_ManualDispatch_GetNextCallback(pipe, callback)) SteamAPI_ManualDispatch_FreeLastCallback(pipe);

    for (int i = 2; i < argc; ++i) {
      uint64_t id = strtoull(argv[i], NULL, 10);
      uint32_t state = SteamAPI_ISteamUGC_GetItemState(SteamAPI_SteamUGC_v021(), id);
      char folder[4096] = {0};
      uint64_t size = 0;
      uint32_t timestamp = 0;
      bool installed = SteamAPI_ISteamUGC_GetItemInstallInfo(SteamAPI_SteamUGC_v021(), id, &size, folder,
                                                             sizeof folder, &timestamp);
      put_text("{\"type\":\"state\",\"workshopId\":\"");
      put_uint(id);
      put_text(state & 1 ? "\",\"subscribed\":true" : "\",\"subscribed\":false");
      put_text(state & 4 ? ",\"installed\":true" : ",\"installed\":false");
      put_text(state & 8 ? ",\"needsUpdate\":true" : ",\"needsUpdate\":false");
      put_text(state & 48 ? ",\"downloading\":true,\"folder\":" : ",\"downloading\":false,\"folder\":");
      if (installed) {
        const char* end = memchr(folder, 0, sizeof folder);
        put_string(folder, end ? (size_t)(end - folder) : sizeof folder);
      } else {
        put_text("null");
      }
      put_text(",\"sizeOnDisk\":");
      put_uint(installed ? size : 0);
      put_text(",\"timestamp\":");
      put_uint(installed ? timestamp : 0);
      put_text("}");
      flush_record();
    }
  }
  put_text("{\"type\":\"done\"}");
  flush_record();
  SteamAPI_Shutdown();
  return 0;
}
