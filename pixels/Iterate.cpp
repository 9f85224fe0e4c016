// The fallback row iterator for hosts without iterate_generic.

#include "pixels/Convert.h"

namespace {

// The one-pixel-wide world that the host's per-pixel iterator walks, one
// pixel per row to convert. Disposed of on every way out, and only if the
// host made it.
class ProxyWorld {
 public:
  explicit ProxyWorld(PF_InData* in_data) : inData_(in_data) {}
  ~ProxyWorld() {
    if (made_)
      inData_->utils->dispose_world(inData_->effect_ref, &world_);
  }
  ProxyWorld(ProxyWorld const&) = delete;
  ProxyWorld& operator=(ProxyWorld const&) = delete;

  PF_Err make(A_long rows) {
    PF_Err const err = inData_->utils->new_world(inData_->effect_ref, 1, rows, 0, &world_);
    made_ = err == PF_Err_NONE;
    return err;
  }

  PF_EffectWorld* world() { return &world_; }

 private:
  PF_InData* inData_;
  PF_EffectWorld world_{};
  bool made_ = false;
};

bool hostRouteUsable(ConvertData const& cd) {
  PF_InData const* in = cd.inData;
  return cd.iterateSuite->iterate != nullptr && in != nullptr && in->utils != nullptr &&
         in->utils->new_world != nullptr && in->utils->dispose_world != nullptr;
}

}  // namespace

PF_Err MyGenericIterateFunc(A_long rowCount, void* refcon, RowFunc rowFunc) {
  ConvertData* cd = static_cast<ConvertData*>(refcon);
  // No rows, nothing to run: not even a proxy world of height 0 is asked for.
  if (rowCount <= 0)
    return PF_Err_NONE;

  if (cd->iterateSuite != nullptr) {
    if (!hostRouteUsable(*cd))
      return PF_Err_BAD_CALLBACK_PARAM;
    ProxyWorld proxy(cd->inData);
    // Without a proxy world there is nothing to iterate over.
    if (PF_Err const err = proxy.make(rowCount))
      return err;
    FakeIterateData fake{cd->inData, rowFunc, refcon, rowCount};
    return cd->iterateSuite->iterate(cd->inData, 0, rowCount, proxy.world(), nullptr, &fake, MyFakeIterator,
                                     proxy.world());
  }

  PF_Err err = PF_Err_NONE;
  for (A_long row = 0; row < rowCount; ++row) {
    err = rowFunc(refcon, 0, row, rowCount);
    if (err != PF_Err_NONE)
      break;
  }
  return err;
}

PF_Err MyFakeIterator(void* refcon, A_long /*x*/, A_long y, PF_Pixel* /*in*/, PF_Pixel* /*out*/) {
  FakeIterateData const* fake = static_cast<FakeIterateData const*>(refcon);
  return fake->rowFunc(fake->refcon, 1, y, fake->rowCount);
}
