// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/LibraryLog.h"

#include <glib.h>

#include <cstdio>
#include <string_view>

namespace pictrane::capture {

namespace {

void Show(const gchar* Domain, GLogLevelFlags /*Level*/, const gchar* Message, gpointer /*Data*/) {
  std::fprintf(stderr, "pictrane-capture: %s: %s\n", Domain != nullptr ? Domain : "library",
               Message != nullptr ? Message : "");
}

void Drop(const gchar* /*Domain*/, GLogLevelFlags /*Level*/, const gchar* /*Message*/,
          gpointer /*Data*/) {}

// Libraries built for GLib's structured log bypass the handler above and reach the writer.
bool VerboseWriter = false;

GLogWriterOutput Write(GLogLevelFlags Level, const GLogField* Fields, gsize Count, gpointer Data) {
  if (!VerboseWriter) return G_LOG_WRITER_HANDLED;
  const gchar* Domain = nullptr;
  const gchar* Message = nullptr;
  for (gsize I = 0; I < Count; ++I) {
    const std::string_view Key = Fields[I].key;
    if (Key == "GLIB_DOMAIN") Domain = static_cast<const gchar*>(Fields[I].value);
    if (Key == "MESSAGE") Message = static_cast<const gchar*>(Fields[I].value);
  }
  Show(Domain, Level, Message, Data);
  return G_LOG_WRITER_HANDLED;
}

}  // namespace

void RouteLibraryLog(bool Verbose) {
  VerboseWriter = Verbose;
  g_log_set_default_handler(Verbose ? Show : Drop, nullptr);
  g_log_set_writer_func(Write, nullptr, nullptr);
}

}  // namespace pictrane::capture
