// The resource folder written at build time: the resource archive "kelpish.tidewares",
// the sound "kelpish.wav", the bundled fish archives and the fallback background.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace reefpack {

constexpr const char* kResourceArchiveName = "kelpish.tidewares";
constexpr const char* kSoundName = "kelpish.wav";

// Slots (lump numbers) of the resource archive and the sizes the scene draws them at.
constexpr int kBannerSlot = 1;
constexpr int kFirstCaptionSlot = 4;
constexpr int kCaptionCount = 5;
constexpr int kBubbleSlot = 9;
constexpr int kBannerWidth = 256, kBannerHeight = 32;
constexpr int kCaptionWidth = 512, kCaptionHeight = 32;

// The resource archive bytes; empty (with one line on stderr) when no font is found.
std::vector<uint8_t> BuildResourceArchive();
std::vector<uint8_t> BuildAmbienceWav();
std::vector<uint8_t> BuildFallbackPicture();

// Writes everything into dir (created if missing). Same bytes on every run.
bool BuildAssets(const std::string& dir);

}  // namespace reefpack
