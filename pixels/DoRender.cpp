// The render driver, in three parts: the host's services acquired
// (HostServices), a plan worked out from the two worlds alone (planFrame),
// and the frame rendered as planned (renderPlanned). Everything that can
// refuse a frame (suites, host callbacks, pixel formats, world records,
// buffer sizes, memory) is settled before the first pixel is converted, so
// a refused frame leaves the output world as the host gave it. Every suite
// and handle taken has an owner that gives it back on every way out,
// exceptions included. One status, FrameStatus, runs through every step.

#include "pixels/DoRender.h"

#include "pixels/Convert.h"
#include "pixels/PixelFormats.h"
#include "suites/DirectSuite.h"
#include "suites/SuiteHandler.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <system_error>

namespace {

// What a step of the frame decides: go on, or end the frame with this
// answer to the host, 0 where the frame is left as it is. Exceptions that
// a step meets (the suite handler's thrown int, a thread or memory the
// system refuses) become a status where they happen.
class FrameStatus {
 public:
  static FrameStatus goOn() { return FrameStatus(true, PF_Err_NONE); }
  static FrameStatus leaveFrame() { return FrameStatus(false, PF_Err_NONE); }
  static FrameStatus answer(PF_Err err) { return FrameStatus(false, err); }
  // A host call's result: 0 goes on, anything else is the answer.
  static FrameStatus from(PF_Err err) { return err == PF_Err_NONE ? goOn() : answer(err); }

  bool goesOn() const { return goOn_; }
  PF_Err hostAnswer() const { return err_; }

 private:
  FrameStatus(bool goOn, PF_Err err) : goOn_(goOn), err_(err) {}
  bool goOn_;
  PF_Err err_;
};

// The suites the driver holds itself, released in the order they were taken.
struct DirectSuites {
  explicit DirectSuites(SPBasicSuite const* basic)
      : pixelFormat(basic, kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1),
        world(basic, kPFWorldSuite, kPFWorldSuiteVersion2),
        iterate8(basic, kPFIterate8Suite, kPFIterate8SuiteVersion1) {}
  ~DirectSuites() {
    pixelFormat.release();
    world.release();
    iterate8.release();
  }

  DirectSuite<PF_PixelFormatSuite1> pixelFormat;
  DirectSuite<PF_WorldSuite2> world;
  DirectSuite<PF_Iterate8Suite1> iterate8;
};

// A host memory handle, locked for as long as the buffer is in use; unlocked
// and disposed of on every way out.
class HostBuffer {
 public:
  explicit HostBuffer(PF_UtilCallbacks const* utils) : utils_(utils) {}
  ~HostBuffer() { release(); }
  HostBuffer(HostBuffer const&) = delete;
  HostBuffer& operator=(HostBuffer const&) = delete;

  // False when the host has no handle of that size or cannot lock it.
  bool allocate(A_u_longlong size) {
    handle_ = utils_->host_new_handle(size);
    if (handle_ == nullptr)
      return false;
    data_ = static_cast<unsigned char*>(utils_->host_lock_handle(handle_));
    return data_ != nullptr;
  }

  void release() {
    if (data_ != nullptr)
      utils_->host_unlock_handle(handle_);
    if (handle_ != nullptr)
      utils_->host_dispose_handle(handle_);
    data_ = nullptr;
    handle_ = nullptr;
  }

  unsigned char* data() const { return data_; }

 private:
  PF_UtilCallbacks const* utils_;
  PF_Handle handle_ = nullptr;
  unsigned char* data_ = nullptr;
};

// The working input and the result, given back input first.
struct WorkBuffers {
  explicit WorkBuffers(PF_UtilCallbacks const* utils) : input(utils), result(utils) {}
  ~WorkBuffers() {
    input.release();
    result.release();
  }

  HostBuffer input;
  HostBuffer result;
};

// Every host callback the driver and the conversions call without a suite.
bool callbacksPresent(PF_InData const& in) {
  PF_UtilCallbacks const* utils = in.utils;
  return in.inter.abort != nullptr && utils != nullptr && utils->host_new_handle != nullptr &&
         utils->host_lock_handle != nullptr && utils->host_unlock_handle != nullptr &&
         utils->host_dispose_handle != nullptr;
}

// What the host lends one frame: its suites, its row iterator and its
// callbacks, acquired in a fixed order and given back on every way out.
// The suite handler's thrown int stops here.
class HostServices {
 public:
  explicit HostServices(PF_InData* in_data) : inData_(in_data) {}

  // Settled before anything is read or written.
  FrameStatus acquire() {
    try {
      return acquireSuites();
    } catch (int err) {
      return FrameStatus::answer(err);
    }
  }

  // The pixel format of a world. The World Suite is asked in both hosts; in
  // Premiere Pro the Pixel Format Suite is asked as well and its answer, the
  // one to trust there, replaces the first. Only the query whose answer is
  // used can end the frame: a Premiere Pro World Suite that fails on Premiere
  // Pro's own formats must not.
  FrameStatus pixelFormat(PF_EffectWorld* world, PF_PixelFormat& code) const {
    PF_Err const worldErr = worldSuite_->PF_GetPixelFormat(world, &code);
    if (pixelFormatSuite_ == nullptr)
      return FrameStatus::from(worldErr);
    PrPixelFormat premiereCode = 0;
    if (PF_Err const err = pixelFormatSuite_->GetPixelFormat(world, &premiereCode))
      return FrameStatus::answer(err);
    code = premiereCode;
    return FrameStatus::goOn();
  }

  // Runs a row conversion from src to dst over `rows` rows through the row
  // iterator; the first error or cancel ends it.
  FrameStatus convert(A_long rows, PF_EffectWorld* src, PF_EffectWorld* dst, RowFunc rowFunc) const {
    ConvertData cd{};
    cd.inData = inData_;
    cd.src = src;
    cd.dst = dst;
    cd.iterateSuite = direct_->iterate8.get();
    cd.gain = 1.0f;
    return FrameStatus::from(iterateRows_(rows, &cd, rowFunc));
  }

  // The host's abort poll: a cancel ends the frame with the host's answer.
  FrameStatus abortPoll() const { return FrameStatus::from(inData_->inter.abort(inData_->effect_ref)); }

  PF_UtilCallbacks const* utils() const { return inData_->utils; }

 private:
  FrameStatus acquireSuites() {
    SPBasicSuite const* basic = inData_->pica_basicP;
    handler_.emplace(basic);
    if (basic->AcquireSuite == nullptr || basic->ReleaseSuite == nullptr)
      return FrameStatus::answer(PF_Err_BAD_CALLBACK_PARAM);

    direct_.emplace(basic);
    direct_->pixelFormat.acquire();
    SPErr const worldSuiteErr = direct_->world.acquire();
    // A host that hands out no World Suite yet reports success still gets an error.
    if (direct_->world.get() == nullptr)
      return FrameStatus::answer(worldSuiteErr != kSPNoError ? worldSuiteErr : PF_Err_BAD_CALLBACK_PARAM);
    bool const premiere = inData_->appl_id == kAppID_PremierePro;
    // Premiere Pro without the Pixel Format Suite cannot tell its formats
    // apart; the frame is left as it is.
    if (premiere && direct_->pixelFormat.get() == nullptr)
      return FrameStatus::leaveFrame();

    worldSuite_ = direct_->world.get();
    pixelFormatSuite_ = premiere ? direct_->pixelFormat.get() : nullptr;
    if (!callbacksPresent(*inData_) || worldSuite_->PF_GetPixelFormat == nullptr ||
        (pixelFormatSuite_ != nullptr && pixelFormatSuite_->GetPixelFormat == nullptr))
      return FrameStatus::answer(PF_Err_BAD_CALLBACK_PARAM);

    iterateRows_ = handler_->Iterate8Suite1()->iterate_generic;
    if (iterateRows_ == nullptr) {
      direct_->iterate8.acquire();
      iterateRows_ = MyGenericIterateFunc;
    }
    return FrameStatus::goOn();
  }

  PF_InData* inData_;
  // Released in reverse: the directly held suites, then the handler's.
  std::optional<AEGP_SuiteHandler> handler_;
  std::optional<DirectSuites> direct_;
  PF_WorldSuite2 const* worldSuite_ = nullptr;
  PF_PixelFormatSuite1 const* pixelFormatSuite_ = nullptr;
  RowIterator iterateRows_ = nullptr;
};

// What can be checked of a host world: sizes that are not negative, and for a
// world whose pixels are touched, pixel memory and rows long enough for its
// width. A world that claims more rows or longer rows than its memory holds
// cannot be told from a sound one; that is the host's contract, as it is for
// every world it hands out.
PF_Err checkWorld(PF_LayerDef const& world, PixelFormat const* format) {
  if (world.width < 0 || world.height < 0)
    return PF_Err_BAD_CALLBACK_PARAM;
  if (format == nullptr || world.width == 0 || world.height == 0)
    return PF_Err_NONE;
  if (world.data == nullptr)
    return PF_Err_BAD_CALLBACK_PARAM;
  std::int64_t const rowBytes = world.rowbytes;
  std::int64_t const reach = rowBytes < 0 ? -rowBytes : rowBytes;
  if (reach < static_cast<std::int64_t>(world.width) * bytesPerPixel(format->layout))
    return PF_Err_BAD_CALLBACK_PARAM;
  return PF_Err_NONE;
}

// Describes a packed working buffer of width x height pixels; false when its
// row does not fit ImageDesc's 32-bit rowBytes or the whole does not fit
// memory addresses.
bool describeBuffer(A_long width, A_long height, A_long bitDepth, ImageDesc& desc, A_u_longlong& bytes) {
  std::int64_t const rowBytes = static_cast<std::int64_t>(width) * workingBytesPerPixel(bitDepth);
  if (rowBytes > std::numeric_limits<std::int32_t>::max())
    return false;
  std::uint64_t const total = static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(height);
  if (total > std::numeric_limits<std::size_t>::max())
    return false;
  desc.width = width;
  desc.height = height;
  desc.bitDepth = bitDepth;
  desc.rowBytes = static_cast<std::int32_t>(rowBytes);
  desc.data = nullptr;
  bytes = total;
  return true;
}

// The world record through which a conversion sees a working buffer; only
// data, rowbytes, width and height are read.
PF_EffectWorld worldOf(ImageDesc const& desc) {
  PF_EffectWorld world{};
  world.data = reinterpret_cast<PF_PixelPtr>(desc.data);
  world.rowbytes = desc.rowBytes;
  world.width = desc.width;
  world.height = desc.height;
  return world;
}

float downsampleFactor(PF_RationalScale const& scale) {
  // A zero denominator is no scale at all.
  A_u_long const den = scale.den == 0 ? 1u : scale.den;
  return static_cast<float>(scale.num) / static_cast<float>(den);
}

// What a frame needs, worked out from the two worlds and their format codes
// alone, before any memory is taken or any pixel converted.
struct FramePlan {
  PixelFormat const* inputFormat = nullptr;   // null: the input reads as transparent black
  PixelFormat const* outputFormat = nullptr;  // null: the output world stays as the host gave it
  bool emptyOutput = false;                   // nothing to compute or write
  ImageDesc input;                            // the working buffers, without their memory
  ImageDesc result;
  A_u_longlong inputBytes = 0;
  A_u_longlong resultBytes = 0;
};

FrameStatus planFrame(PF_LayerDef const& inputLayer, PF_PixelFormat inputCode, PF_LayerDef const& output,
                      PF_PixelFormat outputCode, FramePlan& plan) {
  plan.inputFormat = findPixelFormat(inputCode);
  plan.outputFormat = findPixelFormat(outputCode);
  if (PF_Err const err = checkWorld(inputLayer, plan.inputFormat))
    return FrameStatus::answer(err);
  if (PF_Err const err = checkWorld(output, plan.outputFormat))
    return FrameStatus::answer(err);
  plan.emptyOutput = output.width == 0 || output.height == 0;
  if (plan.emptyOutput)
    return FrameStatus::goOn();
  A_long const workingDepth = plan.inputFormat != nullptr ? plan.inputFormat->workingDepth : 32;
  if (!describeBuffer(inputLayer.width, inputLayer.height, workingDepth, plan.input, plan.inputBytes) ||
      !describeBuffer(output.width, output.height, 32, plan.result, plan.resultBytes))
    return FrameStatus::answer(PF_Err_OUT_OF_MEMORY);
  return FrameStatus::goOn();
}

// The result computed on the dispatch's sixteen threads. A thread the
// system refuses ends the frame, the output world as the host gave it.
FrameStatus computeResult(RenderData const& rd) {
  try {
    dispatchRows(&rd);
    return FrameStatus::goOn();
  } catch (std::system_error const&) {
    return FrameStatus::answer(PF_Err_INTERNAL_STRUCT_DAMAGED);
  } catch (std::bad_alloc const&) {
    return FrameStatus::answer(PF_Err_INTERNAL_STRUCT_DAMAGED);
  }
}

// The planned frame: buffers taken, the input converted, the result
// computed and converted into `output`.
FrameStatus renderPlanned(HostServices const& host, FramePlan const& plan, RenderData& rd,
                          PF_LayerDef* output) {
  // An empty output has nothing to be computed or written; a cancel is still
  // the host's answer for the frame.
  if (plan.emptyOutput) {
    FrameStatus const poll = host.abortPoll();
    return poll.goesOn() ? FrameStatus::leaveFrame() : poll;
  }

  WorkBuffers buffers(host.utils());
  rd.input = plan.input;
  rd.output = plan.result;
  // An empty input needs no memory: the kernel reads every pixel of it as
  // transparent black.
  if (plan.inputBytes != 0) {
    if (!buffers.input.allocate(plan.inputBytes))
      return FrameStatus::answer(PF_Err_OUT_OF_MEMORY);
    rd.input.data = buffers.input.data();
  }
  if (!buffers.result.allocate(plan.resultBytes))
    return FrameStatus::answer(PF_Err_OUT_OF_MEMORY);
  rd.output.data = buffers.result.data();

  if (plan.inputBytes != 0) {
    if (plan.inputFormat != nullptr) {
      PF_EffectWorld inputWorld = worldOf(rd.input);
      if (FrameStatus const s =
              host.convert(rd.input.height, rd.inputLayer, &inputWorld, plan.inputFormat->toWorking);
          !s.goesOn())
        return s;
    } else {
      // Pixels in a format we cannot read count as transparent black
      // rather than whatever the fresh handle held.
      std::memset(rd.input.data, 0, static_cast<std::size_t>(plan.inputBytes));
    }
  }

  if (FrameStatus const s = host.abortPoll(); !s.goesOn())
    return s;

  // The result is not cleared: the kernel writes every pixel of every row,
  // so whatever the host's fresh memory held is overwritten once.
  if (FrameStatus const s = computeResult(rd); !s.goesOn())
    return s;

  if (plan.outputFormat == nullptr)
    return FrameStatus::leaveFrame();
  PF_EffectWorld resultWorld = worldOf(rd.output);
  return host.convert(output->height, &resultWorld, output, plan.outputFormat->fromWorking);
}

// The frame's steps in order, each of which may end it.
FrameStatus renderFrame(PF_InData* in_data, RenderData& rd, PF_LayerDef* output) {
  HostServices host(in_data);
  if (FrameStatus const s = host.acquire(); !s.goesOn())
    return s;

  rd.downsampleX = downsampleFactor(in_data->downsample_x);
  rd.downsampleY = downsampleFactor(in_data->downsample_y);

  PF_PixelFormat inputCode = 0;
  if (FrameStatus const s = host.pixelFormat(rd.inputLayer, inputCode); !s.goesOn())
    return s;
  PF_PixelFormat outputCode = 0;
  if (FrameStatus const s = host.pixelFormat(output, outputCode); !s.goesOn())
    return s;

  FramePlan plan;
  if (FrameStatus const s = planFrame(*rd.inputLayer, inputCode, *output, outputCode, plan); !s.goesOn())
    return s;
  return renderPlanned(host, plan, rd, output);
}

}  // namespace

PF_Err doRender(PF_InData* in_data, PF_OutData* /*out_data*/, RenderData* rd, PF_LayerDef* output) {
  if (in_data == nullptr || rd == nullptr || rd->inputLayer == nullptr || output == nullptr)
    return PF_Err_BAD_CALLBACK_PARAM;
  return renderFrame(in_data, *rd, output).hostAnswer();
}
