// Worlds the host makes for the plug-in (new_world, the World and Pixel
// Format suites), and the pixel formats a plug-in announces.
#include <cstring>

#include "testhost/HostState.h"

namespace testhost {

PF_Err HostState::newWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_PixelFormat format,
                           bool clear, PF_EffectWorld* world) {
  if (world == nullptr || width < 0 || height < 0 || pixelFormatInfo(format) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Err injected = faults_.newWorld.next();
  if (injected != PF_Err_NONE) {
    *world = PF_EffectWorld{};
    return injected;
  }
  auto made = std::make_unique<World>(format, width, height);
  if (clear) {
    made->fillBytes(0);
  }
  *world = *made->record();
  std::lock_guard<std::mutex> lock(mutex_);
  hostWorlds_.emplace(made->record()->data, std::move(made));
  return PF_Err_NONE;
}

PF_Err HostState::disposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world) {
  if (world == nullptr || context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::unique_ptr<World> disposed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto const it = hostWorlds_.find(world->data);
    if (it == hostWorlds_.end()) {
      ++invalidWorldDisposals_;
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    disposed = std::move(it->second);
    hostWorlds_.erase(it);
  }
  *world = PF_EffectWorld{};
  return PF_Err_NONE;
}

PF_Err HostState::addSupportedPixelFormat(PF_ProgPtr effect_ref, PrPixelFormat format) {
  if (context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (const PF_Err injected = faults_.addPixelFormat.next()) {
    return injected;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  supportedFormats_.push_back(format);
  return PF_Err_NONE;
}

PF_Err HostState::clearSupportedPixelFormats(PF_ProgPtr effect_ref) {
  if (context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (const PF_Err injected = faults_.clearPixelFormats.next()) {
    return injected;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  supportedFormats_.clear();
  ++clearSupportedCalls_;
  return PF_Err_NONE;
}

}  // namespace testhost
