// libFuzzer target: the fuzz input decides the host (After Effects or
// Premiere Pro), which suites and callbacks it supplies, the geometry and
// format of both worlds, the parameter values, one injected host failure
// and a short sequence of commands. The plug-in is the test-only build
// (ZarnitFringeFaults), loaded by the stand-in host and driven through
// EffectMain as a host would.
//
// Besides what the sanitizers catch, a run is a finding when the plug-in
// writes into its input, writes past a row of its output, or leaves the
// host's books out of balance (a handle, suite, world or parameter not given
// back).
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "FaultHooks.h"
#include "Frames.h"
#include "SuiteFilter.h"

namespace {

using testhost::App;
using testhost::RenderPath;
using testhost::World;

std::unique_ptr<testhost::Plugin> g_library;  // keeps the plug-in loaded between runs
zfrel::RefuseWorkerStartFunc g_refuseWorkerStart = nullptr;

// ZF_FUZZ_TRACE set: each run tells what it builds, for reading a finding.
bool tracing() {
  static bool const on = std::getenv("ZF_FUZZ_TRACE") != nullptr;
  return on;
}

void trace(char const* what, World const& world) {
  if (tracing()) {
    PF_EffectWorld const& r = *world.record();
    std::fprintf(stderr, "%s: %s, record %dx%d rowbytes %d data %p\n", what, world.info().name, r.width,
                 r.height, r.rowbytes, static_cast<void*>(r.data));
  }
}

void trace(char const* text, long value) {
  if (tracing()) {
    std::fprintf(stderr, "%s %ld\n", text, value);
  }
}

[[noreturn]] void finding(std::string const& what) {
  std::fprintf(stderr, "finding: %s\n", what.c_str());
  std::abort();
}

PF_Err codeFrom(FuzzedDataProvider& in) {
  const PF_Err codes[] = {PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED,
                          PF_Err_INVALID_INDEX, PF_Err_BAD_CALLBACK_PARAM,
                          PF_Interrupt_CANCEL,  -1};
  return in.PickValueInArray(codes);
}

// A world record changed as a hostile host might send it. Each change stays
// inside the world's memory or is one the plug-in can see is wrong: a world
// whose record claims more memory than it has is outside any check. Returns
// false when the rows the record describes no longer start where the
// world's own rows do (the row padding may then be pixels to the plug-in).
bool alterWorld(FuzzedDataProvider& in, World& world, zfrel::SuiteFilter& filter) {
  PF_EffectWorld& r = *world.record();
  switch (in.ConsumeIntegralInRange(0, 12)) {
    case 1:
      (in.ConsumeBool() ? r.width : r.height) = 0;
      break;
    case 2:
      (in.ConsumeBool() ? r.width : r.height) = in.ConsumeIntegralInRange<A_long>(INT_MIN, -1);
      break;
    case 3:
      r.data = nullptr;
      filter.answerFormat(nullptr, world.format());
      break;
    case 4:
      // Shorter rows, still top down from the world's first row.
      r.rowbytes -= in.ConsumeIntegralInRange<A_long>(0, r.rowbytes);
      return false;
    case 5:
      if (world.height() > 0) {
        const A_long stride = r.rowbytes;
        r.data = reinterpret_cast<PF_PixelPtr>(world.row(world.height() - 1));
        const A_long cut = in.ConsumeIntegralInRange<A_long>(0, 2);
        r.rowbytes = -(stride - cut);
        filter.answerFormat(r.data, world.format());
        return cut == 0;
      }
      break;
    case 6:
      filter.answerFormat(r.data, in.ConsumeIntegral<PF_PixelFormat>());
      break;
    case 7:
      r.width = in.ConsumeIntegralInRange<A_long>(0, r.width);
      r.height = in.ConsumeIntegralInRange<A_long>(0, r.height);
      break;
    case 8:
      if (world.height() > 1) {
        r.data = reinterpret_cast<PF_PixelPtr>(world.row(1));  // memory the host cannot name
      }
      break;
    case 9: {
      // Another format of the same pixel size, as the host tells it.
      const PF_PixelFormat sameSize[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_BGRA32};
      const PF_PixelFormat sameSizeFloat[] = {PF_PixelFormat_ARGB128, PrPixelFormat_BGRA_4444_32f,
                                              PrPixelFormat_BGRA_4444_32f_Linear};
      if (world.info().bytesPerPixel == 4) {
        filter.answerFormat(r.data, in.PickValueInArray(sameSize));
      } else if (world.info().bytesPerPixel == 16) {
        filter.answerFormat(r.data, in.PickValueInArray(sameSizeFloat));
      }
      break;
    }
    default:
      break;
  }
  return true;
}

void armFault(FuzzedDataProvider& in, testhost::Host& host) {
  testhost::FaultInjector testhost::Faults::*const ops[] = {
      &testhost::Faults::newHandle,      &testhost::Faults::lockHandle,
      &testhost::Faults::resizeHandle,   &testhost::Faults::newWorld,
      &testhost::Faults::abort,          &testhost::Faults::addParam,
      &testhost::Faults::checkoutParam,  &testhost::Faults::checkinParam,
      &testhost::Faults::checkoutLayer,  &testhost::Faults::checkoutLayerPixels,
      &testhost::Faults::checkoutOutput,
  };
  int const count = in.ConsumeIntegralInRange(0, 2);
  for (int i = 0; i < count; ++i) {
    testhost::FaultInjector& injector = host.faults().*in.PickValueInArray(ops);
    long const at = in.ConsumeIntegralInRange<long>(1, 40);
    const PF_Err code = codeFrom(in);
    injector.failAt(at, code, in.ConsumeBool());
  }
}

void disarmFaults(testhost::Host& host) {
  testhost::Faults& f = host.faults();
  for (testhost::FaultInjector* injector :
       {&f.newHandle, &f.lockHandle, &f.resizeHandle, &f.newWorld, &f.abort, &f.addParam, &f.checkoutParam,
        &f.checkinParam, &f.checkoutLayer, &f.checkoutLayerPixels, &f.checkoutOutput}) {
    injector->reset();
  }
}

zfrel::Params paramsFrom(FuzzedDataProvider& in) {
  zfrel::Params p;
  p.centerX = in.ConsumeIntegral<PF_Fixed>();
  p.centerY = in.ConsumeIntegral<PF_Fixed>();
  auto const popup = [&] {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<PF_ParamValue>(-1, 7)
                            : in.ConsumeIntegral<PF_ParamValue>();
  };
  p.mode = popup();
  p.scaling = popup();
  p.show = popup();
  double const specials[] = {0.0,
                             -0.0,
                             100.0,
                             -100.0,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             1e300,
                             -1e300,
                             3.4028235677973366e38,
                             std::numeric_limits<double>::denorm_min()};
  p.amount = in.ConsumeBool() ? in.PickValueInArray(specials) : in.ConsumeFloatingPoint<double>();
  return p;
}

PF_PixelFormat formatFrom(FuzzedDataProvider& in) {
  return testhost::kPixelFormats[in.ConsumeIntegralInRange<std::size_t>(
                                     0, std::size(testhost::kPixelFormats) - 1)]
      .code;
}

void runOne(FuzzedDataProvider& in) {
  const App app = in.ConsumeBool() ? App::PremierePro : App::AfterEffects;
  testhost::Host host(app);
  host.setIterateWorkers(in.ConsumeIntegralInRange(1, 4));
  // Any format in either host: the effect must survive what no real host sends.
  host.setAnnouncedFormatsOnly(false);
  const A_long inWidth = in.ConsumeIntegralInRange<A_long>(0, 24);
  const A_long inHeight = in.ConsumeIntegralInRange<A_long>(0, 24);
  const A_long outWidth = in.ConsumeBool() ? inWidth : in.ConsumeIntegralInRange<A_long>(0, 24);
  const A_long outHeight = in.ConsumeBool() ? inHeight : in.ConsumeIntegralInRange<A_long>(0, 24);
  World input(formatFrom(in), inWidth, inHeight, in.ConsumeIntegralInRange<A_long>(0, 20));
  World output(formatFrom(in), outWidth, outHeight, in.ConsumeIntegralInRange<A_long>(0, 20));
  fillPattern(input, in.ConsumeIntegral<unsigned>());
  const std::vector<std::uint8_t> inputBytes = input.bytes();

  testhost::LoadedEffect loaded(host, g_library->path(), inWidth, inHeight);
  testhost::Instance& instance = loaded.instance();
  zfrel::applyParams(instance, paramsFrom(in));

  zfrel::SuiteFilter filter(host.basicSuite());
  const PF_EffectWorld inputRecord = *input.record();
  const PF_EffectWorld outputRecord = *output.record();
  alterWorld(in, input, filter);
  bool const outputRowsKept = alterWorld(in, output, filter);
  trace("input", input);
  trace("output", output);

  testhost::SmartRenderOptions options;
  if (in.ConsumeBool()) {
    options.setInputRect = true;
    options.inputRect = PF_LRect{in.ConsumeIntegral<A_long>(), in.ConsumeIntegral<A_long>(),
                                 in.ConsumeIntegral<A_long>(), in.ConsumeIntegral<A_long>()};
  }
  if (in.ConsumeBool()) {
    options.presetResultRect =
        PF_LRect{in.ConsumeIntegralInRange<A_long>(-40, 40), in.ConsumeIntegralInRange<A_long>(-40, 40),
                 in.ConsumeIntegralInRange<A_long>(-40, 40), in.ConsumeIntegralInRange<A_long>(-40, 40)};
  }
  options.hook = [&](PF_InData& inData, PF_OutData&) {
    inData.pica_basicP = filter.basic();
    inData.downsample_x =
        PF_RationalScale{in.ConsumeIntegralInRange<A_long>(-2, 4), in.ConsumeIntegralInRange<A_u_long>(0, 4)};
  };

  char const* suites[][2] = {{kPFHandleSuite, "2"},
                             {kPFANSISuite, "1"},
                             {kPFWorldSuite, "2"},
                             {kPFPixelFormatSuite, "1"},
                             {kPFIterate8Suite, "1"}};
  int const missing = in.ConsumeIntegralInRange(0, 40);
  if (missing < 5) {
    host.setSuiteMissing(suites[missing][0], std::atoi(suites[missing][1]));
  } else if (missing == 5) {
    host.setPassBasicSuite(false);
  }
  host.setIterateGenericAvailable(in.ConsumeIntegralInRange(0, 3) != 0);
  armFault(in, host);
  g_refuseWorkerStart(in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 16) : 0);

  int const commands = in.ConsumeIntegralInRange(1, 4);
  for (int c = 0; c < commands && in.remaining_bytes() > 0; ++c) {
    int const command = in.ConsumeIntegralInRange(0, 7);
    trace("command", command);
    switch (command) {
      case 0:
      case 1:
        testhost::renderFrame(instance, RenderPath::Plain, input, output, options);
        break;
      case 2:
      case 3:
        testhost::renderFrame(instance, RenderPath::Smart, input, output, options);
        break;
      case 4:
        loaded.effect().about(options.hook);
        break;
      case 5:
        instance.sequenceResetup(options.hook);
        break;
      case 6:
        loaded.effect().globalSetup(options.hook);
        break;
      default: {
        // Any command at all; the sequence commands as a host sends them,
        // keeping the handle it is given and giving back the one it holds.
        const PF_Cmd cmd = in.ConsumeIntegralInRange<PF_Cmd>(-2, 30);
        if (cmd == PF_Cmd_SEQUENCE_SETUP) {
          instance.sequenceSetup(options.hook);
        } else if (cmd == PF_Cmd_SEQUENCE_RESETUP) {
          instance.sequenceResetup(options.hook);
        } else if (cmd == PF_Cmd_SEQUENCE_SETDOWN) {
          instance.sequenceSetdown(options.hook);
        } else {
          instance.send(cmd, nullptr, nullptr, nullptr, options.hook);
        }
        break;
      }
    }
  }

  g_refuseWorkerStart(0);
  disarmFaults(host);
  host.setPassBasicSuite(true);
  for (auto const& suite : suites) {
    host.setSuiteMissing(suite[0], std::atoi(suite[1]), false);
  }
  host.setIterateGenericAvailable(true);
  *input.record() = inputRecord;
  *output.record() = outputRecord;
  if (instance.sequenceData() != nullptr) {
    instance.sequenceSetdown();
  }

  if (input.bytes() != inputBytes) {
    finding("the input world was written");
  }
  if (outputRowsKept && !output.paddingIntact()) {
    finding("the output world was written past the end of a row");
  }
  if (instance.outstandingCheckouts() != 0) {
    finding("parameters left checked out");
  }
  const std::string books = host.accountingReport();
  if (!books.empty()) {
    finding("host books out of balance:\n" + books);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_library = std::make_unique<testhost::Plugin>(ZF_FAULTS_PLUGIN_PATH);
  g_refuseWorkerStart =
      reinterpret_cast<zfrel::RefuseWorkerStartFunc>(g_library->symbol(zfrel::kRefuseWorkerStart));
  if (g_refuseWorkerStart == nullptr) {
    finding("the plug-in has no fault hooks");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  runOne(in);
  return 0;
}
