// The host object, its callback tables and the accounting report.
//
// Callbacks without a context pointer find their host through the slot that
// their table was bound to: Bound<S>::f reads slot S. A call that arrives
// after its host is gone, or that throws, gets a failure answer instead of
// reaching freed memory or crossing the C boundary with an exception.
#include <array>
#include <atomic>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "testhost/HostState.h"

namespace testhost {
namespace {

std::mutex g_slotMutex;
std::array<std::atomic<HostState*>, kMaxHosts> g_slots{};

template <int S>
struct Bound {
  template <typename R, typename F>
  static R call(R fallback, F&& f) {
    HostState* host = g_slots[S].load(std::memory_order_acquire);
    if (host == nullptr) {
      return fallback;
    }
    try {
      return f(*host);
    } catch (...) {
      return fallback;
    }
  }

  // Basic suite.
  static SPErr AcquireSuite(char const* name, int32_t version, void const** suite) {
    if (suite != nullptr) {
      *suite = nullptr;
    }
    return call(kSuiteNotFoundError, [&](HostState& h) { return h.acquireSuite(name, version, suite); });
  }
  static SPErr ReleaseSuite(char const* name, int32_t version) {
    return call(kSuiteNotFoundError, [&](HostState& h) { return h.releaseSuite(name, version); });
  }
  static SPErr AllocateBlock(size_t size, void** block) {
    return call<SPErr>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) { return h.allocateBlock(size, block); });
  }
  static SPErr FreeBlock(void* block) {
    return call<SPErr>(PF_Err_BAD_CALLBACK_PARAM, [&](HostState& h) { return h.freeBlock(block); });
  }
  static SPErr ReallocateBlock(void* block, size_t size, void** newBlock) {
    return call<SPErr>(PF_Err_OUT_OF_MEMORY,
                       [&](HostState& h) { return h.reallocateBlock(block, size, newBlock); });
  }

  // Handles.
  static PF_Handle NewHandle(A_HandleSize size) {
    return call<PF_Handle>(nullptr, [&](HostState& h) { return h.newHandle(size); });
  }
  static void* LockHandle(PF_Handle handle) {
    return call<void*>(nullptr, [&](HostState& h) { return h.lockHandle(handle); });
  }
  static void UnlockHandle(PF_Handle handle) {
    call(0, [&](HostState& h) {
      h.unlockHandle(handle);
      return 0;
    });
  }
  static void DisposeHandle(PF_Handle handle) {
    call(0, [&](HostState& h) {
      h.disposeHandle(handle);
      return 0;
    });
  }
  static A_HandleSize GetHandleSize(PF_Handle handle) {
    return call<A_HandleSize>(0, [&](HostState& h) { return h.handleSize(handle); });
  }
  static PF_Err ResizeHandle(A_HandleSize size, PF_Handle* handle) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) { return h.resizeHandle(size, handle); });
  }

  // The Handle Suite's table: the same handles, used only while acquired.
  static PF_Handle SuiteNewHandle(A_HandleSize size) {
    return call<PF_Handle>(nullptr, [&](HostState& h) {
      h.noteHandleSuiteCall();
      return h.newHandle(size);
    });
  }
  static void* SuiteLockHandle(PF_Handle handle) {
    return call<void*>(nullptr, [&](HostState& h) {
      h.noteHandleSuiteCall();
      return h.lockHandle(handle);
    });
  }
  static void SuiteUnlockHandle(PF_Handle handle) {
    call(0, [&](HostState& h) {
      h.noteHandleSuiteCall();
      h.unlockHandle(handle);
      return 0;
    });
  }
  static void SuiteDisposeHandle(PF_Handle handle) {
    call(0, [&](HostState& h) {
      h.noteHandleSuiteCall();
      h.disposeHandle(handle);
      return 0;
    });
  }
  static A_HandleSize SuiteGetHandleSize(PF_Handle handle) {
    return call<A_HandleSize>(0, [&](HostState& h) {
      h.noteHandleSuiteCall();
      return h.handleSize(handle);
    });
  }
  static PF_Err SuiteResizeHandle(A_HandleSize size, PF_Handle* handle) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) {
      h.noteHandleSuiteCall();
      return h.resizeHandle(size, handle);
    });
  }

  // Worlds.
  static PF_Err NewWorld(PF_ProgPtr ref, A_long width, A_long height, PF_NewWorldFlags flags,
                         PF_EffectWorld* world) {
    const PF_PixelFormat format =
        (flags & PF_NewWorldFlag_DEEP_PIXELS) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
    bool const clear = (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0;
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY,
                        [&](HostState& h) { return h.newWorld(ref, width, height, format, clear, world); });
  }
  static PF_Err WorldSuiteNewWorld(PF_ProgPtr ref, A_long width, A_long height, PF_Boolean clear,
                                   PF_PixelFormat format, PF_EffectWorld* world) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) {
      return h.newWorld(ref, width, height, format, clear != 0, world);
    });
  }
  static PF_Err NewWorldOfPixelFormat(PF_ProgPtr ref, A_u_long width, A_u_long height, PF_NewWorldFlags flags,
                                      PrPixelFormat format, PF_EffectWorld* world) {
    if (width > INT32_MAX || height > INT32_MAX) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    bool const clear = (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0;
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) {
      return h.newWorld(ref, static_cast<A_long>(width), static_cast<A_long>(height), format, clear, world);
    });
  }
  static PF_Err DisposeWorld(PF_ProgPtr ref, PF_EffectWorld* world) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](HostState& h) { return h.disposeWorld(ref, world); });
  }
  static PF_Err AddSupportedPixelFormat(PF_ProgPtr ref, PrPixelFormat format) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM,
                        [&](HostState& h) { return h.addSupportedPixelFormat(ref, format); });
  }
  static PF_Err ClearSupportedPixelFormats(PF_ProgPtr ref) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM,
                        [&](HostState& h) { return h.clearSupportedPixelFormats(ref); });
  }

  // Iteration.
  static PF_Err IterateGeneric(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY,
                        [&](HostState& h) { return h.iterateGeneric(iterations, refcon, fn); });
  }
  static PF_Err Iterate(PF_InData* in_data, A_long, A_long, PF_EffectWorld* src, PF_Rect const* area,
                        void* refcon, PF_IteratePixel8Func fn, PF_EffectWorld* dst) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY,
                        [&](HostState& h) { return h.iteratePixels(in_data, src, area, refcon, fn, dst); });
  }

  // Interaction.
  static PF_Err CheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_ParamDef* param) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) {
      return h.checkoutParam(ref, index, what_time, time_step, time_scale, param);
    });
  }
  static PF_Err CheckinParam(PF_ProgPtr ref, PF_ParamDef* param) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](HostState& h) { return h.checkinParam(ref, param); });
  }
  static PF_Err AddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) { return h.addParam(ref, index, def); });
  }
  static PF_Err Abort(PF_ProgPtr ref) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](HostState& h) { return h.abortPoll(ref); });
  }
  static PF_Err Progress(PF_ProgPtr ref, A_long current, A_long total) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM,
                        [&](HostState& h) { return h.progress(ref, current, total); });
  }

  // Smart render.
  static PF_Err CheckoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id,
                              PF_RenderRequest const* req, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_CheckoutResult* result) {
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) {
      return h.checkoutLayer(ref, index, checkout_id, req, what_time, time_step, time_scale, result);
    });
  }
  static PF_Err GuidMixIn(PF_ProgPtr ref, A_u_long, void const*) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](HostState& h) {
      return h.context(ref) == nullptr ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE;
    });
  }
  static PF_Err CheckoutLayerPixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld** pixels) {
    if (pixels != nullptr) {
      *pixels = nullptr;
    }
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY,
                        [&](HostState& h) { return h.checkoutLayerPixels(ref, checkout_id, pixels); });
  }
  static PF_Err CheckinLayerPixels(PF_ProgPtr ref, A_long checkout_id) {
    return call<PF_Err>(PF_Err_BAD_CALLBACK_PARAM,
                        [&](HostState& h) { return h.checkinLayerPixels(ref, checkout_id); });
  }
  static PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld** output) {
    if (output != nullptr) {
      *output = nullptr;
    }
    return call<PF_Err>(PF_Err_OUT_OF_MEMORY, [&](HostState& h) { return h.checkoutOutput(ref, output); });
  }

  static void bind(HostState& h) {
    h.basic_.AcquireSuite = AcquireSuite;
    h.basic_.ReleaseSuite = ReleaseSuite;
    h.basic_.IsEqual = [](char const* a, char const* b) -> SPBoolean {
      return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
    };
    h.basic_.AllocateBlock = AllocateBlock;
    h.basic_.FreeBlock = FreeBlock;
    h.basic_.ReallocateBlock = ReallocateBlock;
    h.basic_.Undefined = []() -> SPErr { return kSPNoError; };

    h.utils_.iterate = Iterate;
    h.utils_.new_world = NewWorld;
    h.utils_.dispose_world = DisposeWorld;
    h.utils_.host_new_handle = NewHandle;
    h.utils_.host_lock_handle = LockHandle;
    h.utils_.host_unlock_handle = UnlockHandle;
    h.utils_.host_dispose_handle = DisposeHandle;
    h.utils_.host_get_handle_size = GetHandleSize;
    h.utils_.iterate_generic = IterateGeneric;
    h.utils_.host_resize_handle = ResizeHandle;
    fillAnsiBlock(h.utils_.ansi);

    h.inter_.checkout_param = CheckoutParam;
    h.inter_.checkin_param = CheckinParam;
    h.inter_.add_param = AddParam;
    h.inter_.abort = Abort;
    h.inter_.progress = Progress;

    h.preRenderCallbacks_.checkout_layer = CheckoutLayer;
    h.preRenderCallbacks_.GuidMixInPtr = GuidMixIn;
    h.smartRenderCallbacks_.checkout_layer_pixels = CheckoutLayerPixels;
    h.smartRenderCallbacks_.checkin_layer_pixels = CheckinLayerPixels;
    h.smartRenderCallbacks_.checkout_output = CheckoutOutput;

    h.handleSuite_.host_new_handle = SuiteNewHandle;
    h.handleSuite_.host_lock_handle = SuiteLockHandle;
    h.handleSuite_.host_unlock_handle = SuiteUnlockHandle;
    h.handleSuite_.host_dispose_handle = SuiteDisposeHandle;
    h.handleSuite_.host_get_handle_size = SuiteGetHandleSize;
    h.handleSuite_.host_resize_handle = SuiteResizeHandle;
    fillAnsiSuite(h.ansiSuite_);

    h.worldSuite_.PF_NewWorld = WorldSuiteNewWorld;
    h.worldSuite_.PF_DisposeWorld = DisposeWorld;
    h.worldSuite_.PF_GetPixelFormat = getPixelFormat;

    h.pixelFormatSuite_.AddSupportedPixelFormat = AddSupportedPixelFormat;
    h.pixelFormatSuite_.ClearSupportedPixelFormats = ClearSupportedPixelFormats;
    h.pixelFormatSuite_.NewWorldOfPixelFormat = NewWorldOfPixelFormat;
    h.pixelFormatSuite_.DisposeWorld = DisposeWorld;
    h.pixelFormatSuite_.GetPixelFormat = [](PF_EffectWorld* world, PrPixelFormat* format) {
      return getPixelFormat(world, format);
    };

    h.iterateSuite_.iterate = Iterate;
    h.iterateSuite_.iterate_generic = IterateGeneric;
    h.iterateSuiteWithoutGeneric_ = h.iterateSuite_;
    h.iterateSuiteWithoutGeneric_.iterate_generic = nullptr;
  }
};

using Binder = void (*)(HostState&);

template <std::size_t... S>
constexpr std::array<Binder, sizeof...(S)> makeBinders(std::index_sequence<S...>) {
  return {&Bound<static_cast<int>(S)>::bind...};
}

constexpr std::array<Binder, kMaxHosts> kBinders = makeBinders(std::make_index_sequence<kMaxHosts>{});

std::string plural(long n, char const* one, char const* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int claimSlot(HostState& host) {
  std::lock_guard<std::mutex> lock(g_slotMutex);
  for (int s = 0; s < kMaxHosts; ++s) {
    if (g_slots[s].load() == nullptr) {
      kBinders[s](host);
      g_slots[s].store(&host, std::memory_order_release);
      return s;
    }
  }
  throw std::runtime_error("testhost: more than kMaxHosts hosts alive at once");
}

void releaseSlot(int slot) {
  std::lock_guard<std::mutex> lock(g_slotMutex);
  g_slots[slot].store(nullptr, std::memory_order_release);
}

// --- HostState -------------------------------------------------------------

HostState::HostState(App app) : app_(app) {
  hostContext_.host = this;
  contexts_.insert(&hostContext_);
  registerSuites();
  slot_ = claimSlot(*this);
}

HostState::~HostState() {
  releaseSlot(slot_);
  for (auto& entry : handles_) {
    std::free(entry.second->master);
  }
  for (void* block : blocks_) {
    std::free(block);
  }
}

CommandContext* HostState::context(PF_ProgPtr effect_ref) {
  auto const* ctx = reinterpret_cast<CommandContext const*>(effect_ref);
  std::lock_guard<std::mutex> lock(mutex_);
  return contexts_.count(ctx) != 0 ? const_cast<CommandContext*>(ctx) : nullptr;
}

ContextRegistration::ContextRegistration(HostState& host, CommandContext& context)
    : host_(host), context_(context) {
  context_.host = &host_;
  std::lock_guard<std::mutex> lock(host_.mutex_);
  host_.contexts_.insert(&context_);
}

ContextRegistration::~ContextRegistration() {
  std::lock_guard<std::mutex> lock(host_.mutex_);
  host_.contexts_.erase(&context_);
}

PF_InData HostState::makeInData(CommandContext* ctx, A_long width, A_long height) {
  std::lock_guard<std::mutex> lock(mutex_);
  PF_InData in{};
  in.inter = inter_;
  in.utils = &utils_;
  in.effect_ref = reinterpret_cast<PF_ProgPtr>(ctx);
  in.quality = settings_.quality;
  in.version = settings_.version;
  in.appl_id = applIdOf(app_);
  in.current_time = settings_.current_time;
  in.time_step = settings_.time_step;
  in.total_time = settings_.total_time;
  in.local_time_step = settings_.time_step;
  in.time_scale = settings_.time_scale;
  in.field = settings_.field;
  in.width = width;
  in.height = height;
  in.extent_hint = PF_Rect{0, 0, width, height};
  in.downsample_x = settings_.downsample_x;
  in.downsample_y = settings_.downsample_y;
  in.pixel_aspect_ratio = settings_.pixel_aspect_ratio;
  in.pica_basicP = passBasicSuite_ ? &basic_ : nullptr;
  return in;
}

std::string HostState::accountingReport() const {
  std::set<PF_Handle> held;
  std::vector<Instance const*> instances;
  std::vector<Effect const*> effects;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    instances.assign(instances_.begin(), instances_.end());
    effects.assign(effects_.begin(), effects_.end());
  }
  for (Instance const* instance : instances) {
    held.insert(instance->sequenceData());
  }
  for (Effect const* effect : effects) {
    held.insert(effect->globalData());
  }

  std::ostringstream report;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<A_HandleSize> leaked;
  for (auto const& entry : handles_) {
    if (held.count(entry.first) == 0) {
      leaked.push_back(entry.second->size);
    }
    if (entry.second->locks > 0) {
      report << "handle of " << entry.second->size << " bytes left locked ("
             << plural(entry.second->locks, "lock", "locks") << ")\n";
    }
  }
  if (!leaked.empty()) {
    report << plural(static_cast<long>(leaked.size()), "handle", "handles") << " not disposed of, sizes";
    for (A_HandleSize size : leaked) {
      report << ' ' << size;
    }
    report << '\n';
  }
  HandleStats const& hs = handleStats_;
  if (hs.overUnlocks > 0) {
    report << plural(hs.overUnlocks, "unlock", "unlocks") << " of a handle that was not locked\n";
  }
  if (hs.invalidUses > 0) {
    report << plural(hs.invalidUses, "handle call", "handle calls")
           << " with a null, unknown or disposed handle\n";
  }
  if (hs.disposedLocked > 0) {
    report << plural(hs.disposedLocked, "handle", "handles") << " disposed of while locked\n";
  }
  if (hs.resizesOfLocked > 0) {
    report << plural(hs.resizesOfLocked, "resize", "resizes") << " of a locked handle refused\n";
  }
  for (auto const& entry : suites_) {
    SuiteStats const& s = entry.second.stats;
    if (s.acquired != s.released) {
      report << "suite \"" << entry.first.first << "\" version " << entry.first.second << " acquired "
             << s.acquired << ", released " << s.released << '\n';
    }
  }
  if (handleSuiteCallsUnheld_ > 0) {
    report << plural(handleSuiteCallsUnheld_, "Handle Suite call", "Handle Suite calls")
           << " while the suite was not acquired\n";
  }
  if (unmatchedReleases_ > 0) {
    report << plural(unmatchedReleases_, "ReleaseSuite call", "ReleaseSuite calls")
           << " without an acquisition\n";
  }
  if (!hostWorlds_.empty()) {
    report << plural(static_cast<long>(hostWorlds_.size()), "host world", "host worlds")
           << " not disposed of\n";
  }
  if (invalidWorldDisposals_ > 0) {
    report << plural(invalidWorldDisposals_, "dispose_world call", "dispose_world calls")
           << " for a world the host did not make\n";
  }
  if (!checkedOut_.empty()) {
    report << plural(static_cast<long>(checkedOut_.size()), "parameter", "parameters")
           << " checked out and not checked in\n";
  }
  if (strayCheckins_ > 0) {
    report << plural(strayCheckins_, "check-in", "check-ins") << " of a parameter that was not checked out\n";
  }
  if (!blocks_.empty()) {
    report << plural(static_cast<long>(blocks_.size()), "basic-suite block", "basic-suite blocks")
           << " not freed\n";
  }
  return report.str();
}

// --- Host -----------------------------------------------------------------

A_AppID applIdOf(App app) {
  return app == App::PremierePro ? kAppID_PremierePro : kAppID_AfterEffects;
}

Host::Host(App app) : state_(std::make_unique<HostState>(app)) {}
Host::~Host() = default;

App Host::app() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->app_;
}

void Host::setApp(App app) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->app_ = app;
}

SPBasicSuite* Host::basicSuite() {
  return &state_->basic_;
}
_PF_UtilCallbacks* Host::utils() {
  return &state_->utils_;
}

PF_InData Host::inData(A_long width, A_long height) {
  return state_->makeInData(&state_->hostContext_, width, height);
}

InDataSettings& Host::settings() {
  return state_->settings_;
}
Faults& Host::faults() {
  return state_->faults_;
}

void Host::setPassBasicSuite(bool pass) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->passBasicSuite_ = pass;
}

void Host::setAnnouncedFormatsOnly(bool only) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->announcedFormatsOnly_ = only;
}

bool Host::announcedFormatsOnly() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->announcedFormatsOnly_;
}

void Host::setSuiteMissing(char const* name, int32_t version, bool missing) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->suites_[{name, version}].missing = missing;
}

void Host::setIterateGenericAvailable(bool available) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->iterateGenericAvailable_ = available;
}

SuiteStats Host::suiteStats(char const* name, int32_t version) const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  auto const it = state_->suites_.find({name, version});
  return it == state_->suites_.end() ? SuiteStats{} : it->second.stats;
}

void Host::setIterateWorkers(int workers) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->iterateWorkers_ = workers < 1 ? 1 : workers;
}

IterateStats Host::iterateStats() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->iterateStats_;
}

void Host::setHandleSizeLimit(A_HandleSize bytes) {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  state_->handleSizeLimit_ = bytes;
}

PF_Handle Host::newHandle(A_HandleSize size) {
  return state_->newHandle(size);
}
void Host::disposeHandle(PF_Handle handle) {
  state_->disposeHandle(handle);
}

bool Host::isLiveHandle(PF_Handle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->handles_.count(handle) != 0;
}

A_HandleSize Host::handleSize(PF_Handle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  auto const it = state_->handles_.find(handle);
  return it == state_->handles_.end() ? 0 : it->second->size;
}

long Host::handleLockCount(PF_Handle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  auto const it = state_->handles_.find(handle);
  return it == state_->handles_.end() ? 0 : it->second->locks;
}

HandleStats Host::handleStats() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  HandleStats stats = state_->handleStats_;
  stats.live = static_cast<long>(state_->handles_.size());
  return stats;
}

long Host::liveHostWorlds() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return static_cast<long>(state_->hostWorlds_.size());
}

std::vector<PrPixelFormat> Host::supportedPixelFormats() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->supportedFormats_;
}

long Host::clearSupportedPixelFormatsCalls() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->clearSupportedCalls_;
}

long Host::progressCalls() const {
  std::lock_guard<std::mutex> lock(state_->mutex_);
  return state_->progressCalls_;
}

std::string Host::accountingReport() const {
  return state_->accountingReport();
}

}  // namespace testhost
