// The activity sound through SDL's disk driver: the samples reach the output
// file, a missing file returns at once.
#include "gui/frame/activity_sound.h"

#include <chrono>
#include <cstdlib>

#include "gui/support/gui_test_main.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kSound = std::string(QUILLO_SOURCE_DIR) + "/data/activity.wav";
constexpr double kSoundSeconds = 0.28;

class ActivitySoundTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }

  double PlaySeconds(const std::string& file) {
    const auto start = Clock::now();
    PlayActivitySound(file);
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  TempDir dir;
  std::string output = dir.File("played.raw");
};

TEST_F(ActivitySoundTest, SamplesOfTheQuotedFileReachTheDevice) {
  const double seconds = PlaySeconds("\"" + kSound + "\"");
  const std::string played = ReadBytes(output);
  // 6174 mono 16-bit frames, perhaps padded by the device's last buffer.
  ASSERT_GE(played.size(), 6174u * 2);
  size_t loud = 0;
  for (size_t i = 0; i + 1 < played.size(); i += 2) {
    const int16_t sample = static_cast<int16_t>(static_cast<uint8_t>(played[i]) |
                                                static_cast<uint8_t>(played[i + 1]) << 8);
    if (sample > 1000 || sample < -1000) ++loud;
  }
  EXPECT_GT(loud, 3000u);
  EXPECT_GE(seconds, kSoundSeconds * 0.8) << "returned before the sound had finished";
  EXPECT_LT(seconds, 5.0);
}

TEST_F(ActivitySoundTest, AMissingOrUnreadableFileOrNoDeviceReturnsAtOnce) {
  EXPECT_LT(PlaySeconds("\"" + dir.File("missing.wav") + "\""), 0.5);
  WriteBytes(dir.File("noise.wav"), "not a sound at all");
  EXPECT_LT(PlaySeconds(dir.File("noise.wav")), 0.5);
  EXPECT_LT(PlaySeconds(""), 0.5);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_LT(PlaySeconds(kSound), 0.5);
}

}  // namespace
