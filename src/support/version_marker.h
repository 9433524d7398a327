#pragma once

// The file version travels inside every program file as a record: this marker, the version
// text, a NUL. The marker is a what-string, so `strings` or `what` show the version too.
// Only version_record.cpp may spell the marker out in code that is compiled into data; the
// reader assembles it at run time so that a program file holds it exactly once per record.
#define FIRNADESK_VERSION_MARKER "@(#)firnadesk file version "
