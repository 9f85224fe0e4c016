// The host's iterators: they really run the plug-in's callbacks on several
// worker threads, the way the applications do, so races in a plug-in show
// up under the thread sanitizer.
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "testhost/HostState.h"

namespace testhost {
namespace {

// Joins every started worker on every exit path.
class Workers {
 public:
  ~Workers() {
    for (std::thread& t : threads_) {
      t.join();
    }
  }
  template <typename F>
  void start(F&& f) {
    threads_.emplace_back(std::forward<F>(f));
  }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace

PF_Err HostState::runOnWorkers(A_long count,
                               std::function<PF_Err(A_long threadIndex, A_long index)> const& body) {
  int workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers = static_cast<int>(std::min<long>(iterateWorkers_, std::max<long>(count, 1)));
    iterateStats_.lastThreadCount = count > 0 ? workers : 0;
  }
  if (count <= 0) {
    return PF_Err_NONE;
  }
  std::atomic<PF_Err> first{PF_Err_NONE};
  std::atomic<bool> stop{false};
  bool startFailed = false;
  {
    Workers pool;
    for (int k = 0; k < workers; ++k) {
      const A_long threadIndex = k;
      try {
        pool.start([&, threadIndex] {
          for (long long i = threadIndex; i < count && !stop.load(); i += workers) {
            const PF_Err err = body(threadIndex, static_cast<A_long>(i));
            if (err != PF_Err_NONE) {
              PF_Err none = PF_Err_NONE;
              first.compare_exchange_strong(none, err);
              stop.store(true);
            }
          }
        });
      } catch (std::system_error const&) {
        stop.store(true);
        startFailed = true;
        break;
      }
    }
  }
  if (startFailed && first.load() == PF_Err_NONE) {
    return PF_Err_OUT_OF_MEMORY;
  }
  return first.load();
}

PF_Err HostState::iterateGeneric(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++iterateStats_.genericCalls;
  }
  if (fn == nullptr || iterations < 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return runOnWorkers(iterations,
                      [&](A_long threadIndex, A_long i) { return fn(refcon, threadIndex, i, iterations); });
}

PF_Err HostState::iteratePixels(PF_InData* in_data, PF_EffectWorld* src, PF_Rect const* area, void* refcon,
                                PF_IteratePixel8Func fn, PF_EffectWorld* dst) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++iterateStats_.pixelCalls;
  }
  if (in_data == nullptr || src == nullptr || dst == nullptr || fn == nullptr || src->data == nullptr ||
      dst->data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // An 8-bit iterator: a world we know to be deeper is refused.
  for (PF_EffectWorld const* world : {src, dst}) {
    PixelFormatInfo const* info = pixelFormatInfo(registeredFormat(world->data));
    if (info != nullptr && info->bytesPerPixel != 4) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
  }
  PF_Rect r = area != nullptr ? *area : PF_Rect{0, 0, src->width, src->height};
  r.left = std::max<A_long>(r.left, 0);
  r.top = std::max<A_long>(r.top, 0);
  r.right = std::min({r.right, src->width, dst->width});
  r.bottom = std::min({r.bottom, src->height, dst->height});
  if (r.left >= r.right || r.top >= r.bottom) {
    return PF_Err_NONE;
  }
  auto* srcBase = reinterpret_cast<unsigned char*>(src->data);
  auto* dstBase = reinterpret_cast<unsigned char*>(dst->data);
  return runOnWorkers(r.bottom - r.top, [&](A_long, A_long i) {
    const A_long y = r.top + i;
    auto* srcRow = reinterpret_cast<PF_Pixel*>(srcBase + static_cast<long long>(y) * src->rowbytes);
    auto* dstRow = reinterpret_cast<PF_Pixel*>(dstBase + static_cast<long long>(y) * dst->rowbytes);
    for (A_long x = r.left; x < r.right; ++x) {
      const PF_Err err = fn(refcon, x, y, srcRow + x, dstRow + x);
      if (err != PF_Err_NONE) {
        return err;
      }
    }
    return PF_Err_NONE;
  });
}

}  // namespace testhost
