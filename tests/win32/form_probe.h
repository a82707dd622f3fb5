// Shared parts of the window-loading probe (form_probe_win.cpp and
// form_probe_units_win.cpp): unit ids and names, the frame entry and the
// probe's unit types; the log comes from probe_log.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/frame_api.h"
#include "frame/unit_type.h"
#include "tests/win32/probe_log.h"

constexpr uint32_t kMainWindow = 0x52010001;
constexpr uint32_t kNeverLoaded = 0x52010002;
constexpr uint32_t kDestroyedOnCreate = 0x52010003;
constexpr uint32_t kMissingType = 0x52010004;
constexpr uint32_t kFailingCreate = 0x52010005;

constexpr uint32_t kBoxA = 0x16010001, kHiddenBox = 0x16010002, kBoxB = 0x16010003,
                   kTimer = 0x16010004, kBoxC = 0x16010005, kPage = 0x16010006,
                   kLastBox = 0x16010007, kSilentBox = 0x16010008, kNeverBox = 0x16020001;

// The unit's name for log lines ("?" for an unknown id).
const char* NameOf(uint32_t unitId);

// Own properties of the probe box (numbers 8..12).
enum : int { kOwnText = 8, kOwnNumber = 9, kOwnFlag = 10, kOwnRebuild = 11, kOwnData = 12 };

// The frame service entry, received through the library notification.
extern FrameServiceFn gFrameService;

// The probe's libraries: library 1 with the window unit and the test types
// (PicBox kind: a box with five own properties, Timer kind: never shown,
// ProcessBar kind: raises no events, Label kind: create fails), library 2
// empty. FillProbeLibraries must run before the frame starts.
extern const LibraryInfo kProbeLibraries[2];
void FillProbeLibraries();
