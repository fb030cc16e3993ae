#include "gui/frame/activity_sound.h"

#include <SDL.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

// SDL's subsystem set-up, device opening and closing are not safe to run
// from two threads at once; playback itself runs outside this lock.
std::mutex& SdlLock() {
  static std::mutex lock;
  return lock;
}

std::string StripQuotes(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// One playback: the loaded sound and the device it plays on, released in
// the destructor under the lock.
class Playback {
 public:
  explicit Playback(const std::string& path) {
    std::lock_guard<std::mutex> hold(SdlLock());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    audio_up_ = true;
    if (!SDL_LoadWAV(path.c_str(), &spec_, &buffer_, &length_)) return;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &spec_, nullptr, 0);
  }

  ~Playback() {
    std::lock_guard<std::mutex> hold(SdlLock());
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (buffer_) SDL_FreeWAV(buffer_);
    if (audio_up_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  void PlayToEnd() {
    if (device_ == 0) return;
    if (SDL_QueueAudio(device_, buffer_, length_) != 0) return;
    SDL_PauseAudioDevice(device_, 0);
    const auto deadline = std::chrono::steady_clock::now() + Duration() + std::chrono::seconds(2);
    while (SDL_GetQueuedAudioSize(device_) > 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The device still holds its last buffer when the queue runs dry.
    const double buffer_seconds =
        static_cast<double>(spec_.samples) / (spec_.freq ? spec_.freq : 1);
    std::this_thread::sleep_for(std::chrono::duration<double>(buffer_seconds) +
                                std::chrono::milliseconds(20));
  }

 private:
  std::chrono::milliseconds Duration() const {
    const int frame_bytes =
        SDL_AUDIO_BITSIZE(spec_.format) / 8 * (spec_.channels ? spec_.channels : 1);
    if (frame_bytes == 0 || spec_.freq == 0) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(1000LL * length_ / frame_bytes / spec_.freq);
  }

  bool audio_up_ = false;
  SDL_AudioSpec spec_{};
  Uint8* buffer_ = nullptr;
  Uint32 length_ = 0;
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace

void PlayActivitySound(const std::string& file_text) {
  Playback playback(StripQuotes(file_text));
  playback.PlayToEnd();
}
