#pragma once

// The show's timeline painted with Qt on an image, and saved as PNG. Needs a QGuiApplication (for
// the fonts); EnsureGuiApplication makes one on the offscreen platform for a program without a
// window, so the tools work over ssh with no display.

#include <QImage>
#include <string>

#include "report/show_report.h"
#include "report/timeline_layout.h"

namespace fd::report {

// From the main thread, before the first picture of a program that has no QGuiApplication yet.
void EnsureGuiApplication();

QImage PaintTimeline(const TimelineLayout& layout);

// Writes the picture whole or not at all (a new file that then takes the name). False with error.
bool SaveTimelinePng(const ShowReport& report, const std::string& pngPath, std::string& error);

// The picture of a show's journal file, as the window and rehearse --plot make it.
bool DrawJournalPicture(const std::string& journalPath, const std::string& pngPath, std::string& error);

// Where the window puts the picture of a journal: beside it, ".jsonl" made ".png".
std::string PicturePathFor(const std::string& journalPath);

}  // namespace fd::report
