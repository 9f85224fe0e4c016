// The stand-in host: a host for testing After Effects / Premiere Pro effect
// plug-ins without either application.
//
// A Host serves what an effect plug-in asks of its host: the basic suite with
// named, versioned suites ("PF Handle Suite" 2, "PF ANSI Suite" 1, "PF World
// Suite" 2, "PF Pixel Format Suite" 1, "PF Iterate8 Suite" 1), the utility
// callbacks (handles, 8-bit worlds, ANSI, iterators), the interact callbacks
// (parameters, abort, progress) and the smart-render callbacks. It counts
// every acquisition and release so that a test can ask for the balance at the
// end (accountingReport), and it can be told to fail any of these operations
// at the n-th call (faults()).
//
// Finding the host from a callback. Most host callbacks carry no context
// pointer (AcquireSuite, host_new_handle, iterate_generic, ...). Each Host
// therefore takes one of kMaxHosts slots when it is built and hands out
// function tables whose entries are bound to that slot, so several hosts may
// live side by side (for example one acting as After Effects and one as
// Premiere Pro). Callbacks that carry an effect_ref check it against the
// host's live command contexts before using it: a stale or foreign effect_ref
// gets PF_Err_BAD_CALLBACK_PARAM, never a crash. Suite functions may be used
// only while the suite is acquired; the Handle Suite's are watched.
//
// Threads. Every host operation may be called from any thread; the host
// keeps its books under a mutex. iterate_generic and iterate run the
// callback on several worker threads of their own.
//
// Driving a plug-in: see Effect.h. Calling a layer of a plug-in directly
// (without its EffectMain): take a PF_InData from inData().
//
// A Host outlives the Effects and Instances made on it. Settings, faults and
// suite switches are meant to be changed between commands, not during one.
#ifndef ZF_TESTHOST_HOST_H
#define ZF_TESTHOST_HOST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "suites/HostInterface.h"
#include "testhost/Faults.h"
#include "testhost/World.h"

namespace testhost {

enum class App { AfterEffects, PremierePro };

// 'FXTC' for After Effects, 'PrMr' for Premiere Pro.
A_AppID applIdOf(App app);

// The error AcquireSuite answers for a suite the host does not supply.
inline constexpr SPErr kSuiteNotFoundError = 0x53214664;  // 'S!Fd'

inline constexpr int kMaxHosts = 8;

// Every host operation that a test can make fail, counted per operation.
struct Faults {
  FaultInjector newHandle;      // host_new_handle answers null
  FaultInjector lockHandle;     // host_lock_handle answers null (lock not counted)
  FaultInjector resizeHandle;   // host_resize_handle answers the code, handle unchanged
  FaultInjector newWorld;       // new_world and the suites' NewWorld answer the code
  FaultInjector abort;          // inter.abort answers the code (counts every abort poll)
  FaultInjector addParam;       // inter.add_param answers the code, nothing stored
  FaultInjector checkoutParam;  // inter.checkout_param answers the code, record untouched
  FaultInjector checkinParam;   // inter.checkin_param answers the code (the record counts as checked in)
  FaultInjector checkoutLayer;  // pre-render checkout_layer answers the code, result untouched
  FaultInjector checkoutLayerPixels;  // smart-render checkout_layer_pixels answers the code, world null
  FaultInjector checkoutOutput;       // smart-render checkout_output answers the code, world null
  FaultInjector clearPixelFormats;    // ClearSupportedPixelFormats answers the code, list unchanged
  FaultInjector addPixelFormat;       // AddSupportedPixelFormat answers the code, nothing added
};

// Values the host puts into every PF_InData it builds.
struct InDataSettings {
  A_long current_time = 0;
  A_long time_step = 1;
  A_long total_time = 300;
  A_u_long time_scale = 30;
  PF_RationalScale downsample_x = {1, 1};
  PF_RationalScale downsample_y = {1, 1};
  PF_RationalScale pixel_aspect_ratio = {1, 1};
  PF_Quality quality = PF_Quality_HI;
  PF_Field field = PF_Field_FRAME;
  PF_SpecVersion version = {13, 28};
};

struct HandleStats {
  long allocated = 0;  // handles made by host_new_handle (and Host::newHandle)
  long disposed = 0;
  long live = 0;
  long locks = 0;  // successful host_lock_handle calls
  long unlocks = 0;
  long overUnlocks = 0;  // unlock of a handle that was not locked
  long invalidUses = 0;  // null, unknown or disposed handle passed to a handle call
  long resizesOfLocked = 0;
  long disposedLocked = 0;
  A_HandleSize largestRequest = 0;  // largest size asked of host_new_handle, granted or not
  long refusedForSize = 0;          // requests above the size limit
};

struct IterateStats {
  long genericCalls = 0;    // iterate_generic (suite and utils)
  long pixelCalls = 0;      // iterate (suite and utils)
  int lastThreadCount = 0;  // worker threads used by the latest call
};

struct SuiteStats {
  long acquired = 0;  // successful AcquireSuite calls
  long released = 0;  // ReleaseSuite calls matching an acquisition
  long refused = 0;   // AcquireSuite calls answered "missing"
};

class HostState;

class Host {
 public:
  explicit Host(App app = App::AfterEffects);
  ~Host();
  Host(Host const&) = delete;
  Host& operator=(Host const&) = delete;

  App app() const;
  void setApp(App app);

  // The tables as a plug-in sees them.
  SPBasicSuite* basicSuite();
  _PF_UtilCallbacks* utils();

  // A PF_InData filled as for a command (settings(), appl_id, utils, inter,
  // pica_basicP, a host-level effect_ref that stays valid while the Host
  // lives), with the layer size given. For calling plug-in layers directly.
  PF_InData inData(A_long width = 0, A_long height = 0);

  InDataSettings& settings();
  Faults& faults();

  // Pass null instead of the basic suite in in_data->pica_basicP.
  void setPassBasicSuite(bool pass);

  // As Premiere Pro, refuse (UnannouncedFormat) to render in a pixel format
  // the effect did not announce, as the application never would (on by
  // default). Off for tests that hand an effect what no real host sends.
  void setAnnouncedFormatsOnly(bool only);
  bool announcedFormatsOnly() const;

  // Suites. A missing suite makes AcquireSuite answer kSuiteNotFoundError
  // with a null table.
  void setSuiteMissing(char const* name, int32_t version, bool missing = true);
  // Serve "PF Iterate8 Suite" 1 with a null iterate_generic (the utility
  // callback stays).
  void setIterateGenericAvailable(bool available);
  SuiteStats suiteStats(char const* name, int32_t version) const;

  // Worker threads of iterate_generic and iterate (default 4, at least 1).
  // Worker k runs the indices k, k + n, k + 2n, ... and gets thread index k,
  // so thread index 0 runs index 0 and belongs to exactly one worker. After
  // the first non-zero result no worker starts another index, and that first
  // result is returned.
  void setIterateWorkers(int workers);
  IterateStats iterateStats() const;

  // Handles are refused above this many bytes (host_new_handle answers null,
  // host_resize_handle an error); 2^40 by default. Lower it to see a plug-in
  // ask for more than a test can afford to give.
  void setHandleSizeLimit(A_HandleSize bytes);

  // Handles, made and disposed of by the test as by a plug-in (counted the
  // same way). New handle memory holds a garbage pattern, not zeros.
  PF_Handle newHandle(A_HandleSize size);
  void disposeHandle(PF_Handle handle);
  bool isLiveHandle(PF_Handle handle) const;
  A_HandleSize handleSize(PF_Handle handle) const;
  long handleLockCount(PF_Handle handle) const;
  HandleStats handleStats() const;

  // Worlds made through new_world / the suites' NewWorld, not yet disposed of.
  long liveHostWorlds() const;

  // Pixel formats announced through the Pixel Format Suite, in order, since
  // the last ClearSupportedPixelFormats.
  std::vector<PrPixelFormat> supportedPixelFormats() const;
  long clearSupportedPixelFormatsCalls() const;

  // inter.progress calls, all command contexts together.
  long progressCalls() const;

  // Human-readable list of everything out of balance, one line each, or ""
  // when all is balanced: live handles (except those the host holds as an
  // instance's sequence data), handles left locked, over-unlocks and invalid
  // handle uses, suites acquired more often than released (or the reverse),
  // undisposed host worlds, parameters checked out and not checked in (or
  // checked in without a checkout), basic-suite blocks not freed, and calls
  // through the Handle Suite's table while no acquisition of it was
  // outstanding (one still held by another command hides such a call).
  std::string accountingReport() const;

 private:
  // The books and tables behind the callbacks, shared with the classes that
  // send commands; not for the host's users.
  friend class Effect;
  friend class Instance;
  friend class HostState;
  HostState& state() { return *state_; }

  std::unique_ptr<HostState> state_;
};

}  // namespace testhost

#endif
