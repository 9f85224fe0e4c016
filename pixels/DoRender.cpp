// The render driver. Everything that can refuse a frame (suites, host
// callbacks, pixel formats, world records, buffer sizes, memory) is settled
// before the first pixel is converted, so a refused frame leaves the output
// world as the host gave it. Every suite and handle taken has an owner that
// gives it back on every way out, exceptions included.

#include "pixels/DoRender.h"

#include "pixels/Convert.h"
#include "pixels/PixelFormats.h"
#include "suites/DirectSuite.h"
#include "suites/SuiteHandler.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

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

// The World Suite is asked in both hosts; in Premiere Pro the Pixel Format
// Suite is asked as well and its answer, the one to trust there, replaces
// the first. Only the query whose answer is used can end the frame: a
// Premiere Pro World Suite that fails on Premiere Pro's own formats must not.
PF_Err queryPixelFormat(PF_WorldSuite2 const* worldSuite, PF_PixelFormatSuite1 const* pixelFormatSuite,
                        PF_EffectWorld* world, PF_PixelFormat& code) {
  PF_Err const worldErr = worldSuite->PF_GetPixelFormat(world, &code);
  if (pixelFormatSuite == nullptr)
    return worldErr;
  PrPixelFormat premiereCode = 0;
  if (PF_Err const err = pixelFormatSuite->GetPixelFormat(world, &premiereCode))
    return err;
  code = premiereCode;
  return PF_Err_NONE;
}

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

}  // namespace

PF_Err doRender(PF_InData* in_data, PF_OutData* /*out_data*/, RenderData* rd, PF_LayerDef* output,
                WorkerStart startThread) {
  if (in_data == nullptr || rd == nullptr || rd->inputLayer == nullptr || output == nullptr)
    return PF_Err_BAD_CALLBACK_PARAM;

  AEGP_SuiteHandler suites(in_data->pica_basicP);
  SPBasicSuite const* basic = in_data->pica_basicP;
  if (basic->AcquireSuite == nullptr || basic->ReleaseSuite == nullptr)
    return PF_Err_BAD_CALLBACK_PARAM;

  ConvertData cd{};
  cd.gain = 1.0f;

  DirectSuites direct(basic);
  direct.pixelFormat.acquire();
  SPErr const worldSuiteErr = direct.world.acquire();

  bool const premiere = in_data->appl_id == kAppID_PremierePro;
  if (direct.world.get() == nullptr) {
    // A host that hands out no World Suite yet reports success still gets an error.
    return worldSuiteErr != kSPNoError ? worldSuiteErr : PF_Err_BAD_CALLBACK_PARAM;
  }
  // Premiere Pro without the Pixel Format Suite cannot tell its formats
  // apart; the frame is left as it is.
  if (premiere && direct.pixelFormat.get() == nullptr)
    return PF_Err_NONE;

  PF_WorldSuite2 const* worldSuite = direct.world.get();
  PF_PixelFormatSuite1 const* pixelFormatSuite = premiere ? direct.pixelFormat.get() : nullptr;
  if (!callbacksPresent(*in_data) || worldSuite->PF_GetPixelFormat == nullptr ||
      (pixelFormatSuite != nullptr && pixelFormatSuite->GetPixelFormat == nullptr))
    return PF_Err_BAD_CALLBACK_PARAM;

  cd.inData = in_data;

  RowIterator iterateRows = suites.Iterate8Suite1()->iterate_generic;
  if (iterateRows == nullptr) {
    direct.iterate8.acquire();
    cd.iterateSuite = direct.iterate8.get();
    iterateRows = MyGenericIterateFunc;
  }

  rd->downsampleX = downsampleFactor(in_data->downsample_x);
  rd->downsampleY = downsampleFactor(in_data->downsample_y);

  // Both formats are known, and both worlds checked, before any memory is
  // taken or any pixel converted.
  PF_LayerDef* const inputLayer = rd->inputLayer;
  PF_PixelFormat inputCode = 0;
  if (PF_Err const queryErr = queryPixelFormat(worldSuite, pixelFormatSuite, inputLayer, inputCode))
    return queryErr;
  PF_PixelFormat outputCode = 0;
  if (PF_Err const queryErr = queryPixelFormat(worldSuite, pixelFormatSuite, output, outputCode))
    return queryErr;
  PixelFormat const* const inputFormat = findPixelFormat(inputCode);
  PixelFormat const* const outputFormat = findPixelFormat(outputCode);
  if (PF_Err const worldErr = checkWorld(*inputLayer, inputFormat))
    return worldErr;
  if (PF_Err const worldErr = checkWorld(*output, outputFormat))
    return worldErr;

  // An empty output has nothing to be computed or written; a cancel is still
  // the host's answer for the frame.
  if (output->width == 0 || output->height == 0)
    return in_data->inter.abort(in_data->effect_ref);

  A_long const workingDepth = inputFormat != nullptr ? inputFormat->workingDepth : 32;
  A_u_longlong inputBytes = 0;
  A_u_longlong resultBytes = 0;
  if (!describeBuffer(inputLayer->width, inputLayer->height, workingDepth, rd->input, inputBytes) ||
      !describeBuffer(output->width, output->height, 32, rd->output, resultBytes))
    return PF_Err_OUT_OF_MEMORY;

  WorkBuffers buffers(in_data->utils);
  // An empty input needs no memory: the kernel reads every pixel of it as
  // transparent black.
  if (inputBytes != 0) {
    if (!buffers.input.allocate(inputBytes))
      return PF_Err_OUT_OF_MEMORY;
    rd->input.data = buffers.input.data();
  }
  if (!buffers.result.allocate(resultBytes))
    return PF_Err_OUT_OF_MEMORY;
  rd->output.data = buffers.result.data();
  // The result starts out zero, not as whatever the host's fresh memory held.
  std::memset(rd->output.data, 0, static_cast<std::size_t>(resultBytes));

  PF_EffectWorld inputWorld = worldOf(rd->input);
  if (inputBytes != 0) {
    if (inputFormat != nullptr) {
      cd.src = inputLayer;
      cd.dst = &inputWorld;
      if (PF_Err const inputErr = iterateRows(rd->input.height, &cd, inputFormat->toWorking))
        return inputErr;
    } else {
      // Pixels in a format we cannot read count as transparent black
      // rather than whatever the fresh handle held.
      std::memset(rd->input.data, 0, static_cast<std::size_t>(inputBytes));
    }
  }

  if (PF_Err const abortErr = in_data->inter.abort(in_data->effect_ref))
    return abortErr;

  dispatchRows(rd, startThread);

  // An output format without conversion leaves the world as the host gave it.
  if (outputFormat == nullptr)
    return PF_Err_NONE;
  PF_EffectWorld resultWorld = worldOf(rd->output);
  cd.src = &resultWorld;
  cd.dst = output;
  return iterateRows(output->height, &cd, outputFormat->fromWorking);
}
