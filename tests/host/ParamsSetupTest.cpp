// The parameter set as the host stores it in projects: every definition
// compared byte for byte with an image built from the host's documented
// offsets, so a field in the wrong place or a stray non-zero byte shows.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "PluginFixture.h"

namespace zftest {
namespace {

constexpr size_t kParamDefSize = 176;

// A definition record as raw bytes, written at the offsets of the host's
// layout; everything not written is zero.
class DefImage {
 public:
  DefImage() : bytes_(kParamDefSize, 0) {}

  template <class T>
  DefImage& at(size_t offset, T value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
    return *this;
  }
  DefImage& text(size_t offset, char const* s) {
    std::memcpy(bytes_.data() + offset, s, std::strlen(s));
    return *this;
  }
  std::vector<unsigned char> const& bytes() const { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

// PF_ParamDef: uu.id 0, param_type 12, name 16, flags 48, u 56.
DefImage header(std::int32_t diskId, std::int32_t type, char const* name) {
  DefImage image;
  image.at<std::int32_t>(0, diskId).at<std::int32_t>(12, type).text(16, name);
  return image;
}

// PF_PopupDef at 56: value 56, num_choices 60, dephault 62, namesptr 64.
DefImage popup(std::int32_t diskId, char const* name, std::int16_t choices, void const* namesptr,
               std::int16_t dephault = 0, std::int32_t flags = 0) {
  return header(diskId, 7, name)
      .at<std::int32_t>(48, flags)
      .at<std::int32_t>(56, dephault)
      .at<std::int16_t>(60, choices)
      .at<std::int16_t>(62, dephault)
      .at(64, namesptr);
}

void const* namesPointerOf(PF_ParamDef const& def) {
  void const* p;
  std::memcpy(&p, reinterpret_cast<unsigned char const*>(&def) + 64, sizeof p);
  return p;
}

class ParamsSetupTest : public PluginTest {};

TEST_F(ParamsSetupTest, DefinitionsMatchTheStoredLayoutByteForByte) {
  const testhost::CommandResult r = effect.paramsSetup();
  ASSERT_EQ(r.err, PF_Err_NONE);
  EXPECT_EQ(r.out.num_params, 8);
  const std::vector<PF_ParamDef> defs = effect.paramDefs();
  ASSERT_EQ(defs.size(), 8u);
  static_assert(sizeof(PF_ParamDef) == kParamDefSize, "host layout");

  // 50.0 in 16.16: the host reads a point default as percent of the layer.
  const std::int32_t half = 50 * 65536;
  const DefImage center = header(2, 6, "Frame center")
                              .at<std::int32_t>(56, half)   // x_value
                              .at<std::int32_t>(60, half)   // y_value
                              .at<char>(67, 0)              // restrict_bounds
                              .at<std::int32_t>(68, half)   // x_dephault
                              .at<std::int32_t>(72, half);  // y_dephault
  const DefImage amount = header(5, 10, "Amount")
                              .at<double>(56, 0.0)        // value
                              .at<double>(64, 0.0)        // phase
                              .at<float>(104, -100.0f)    // valid_min
                              .at<float>(108, 100.0f)     // valid_max
                              .at<float>(112, -100.0f)    // slider_min
                              .at<float>(116, 100.0f)     // slider_max
                              .at<float>(120, 0.0f)       // dephault
                              .at<std::int16_t>(124, 2)   // precision: hundredths
                              .at<std::int16_t>(126, 0)   // display_flags
                              .at<std::uint32_t>(128, 0)  // fs_flags
                              .at<float>(132, 0.05f);     // curve_tolerance
  // Added with Spectrum: whole samples, 12 also for projects saved before it.
  const DefImage samples = header(8, 10, "Spectrum samples")
                               .at<std::int32_t>(48, 128)  // PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS
                               .at<double>(56, 12.0)       // value
                               .at<float>(104, 3.0f)       // valid_min
                               .at<float>(108, 64.0f)      // valid_max
                               .at<float>(112, 3.0f)       // slider_min
                               .at<float>(116, 32.0f)      // slider_max
                               .at<float>(120, 12.0f)      // dephault
                               .at<std::int16_t>(124, 0);  // precision: whole numbers

  struct Case {
    char const* name;
    DefImage image;
    char const* choices;
  };
  const Case cases[] = {
      {"Frame center", center, nullptr},
      {"Mode", popup(3, "Mode", 4, namesPointerOf(defs[2])), "Red-Cyan|Green-Purple|Blue-Yellow|Spectrum"},
      {"Scaling", popup(4, "Scaling", 3, namesPointerOf(defs[3])), "linear|square|cubic"},
      {"Amount", amount, nullptr},
      // Five choices, so that "Alpha" and "Full Alpha" can be chosen.
      {"Show", popup(6, "Show", 5, namesPointerOf(defs[5])), "Final|Just CA|Without CA|Alpha|Full Alpha"},
      // Added later: "Nearest" (1) by default, and, with
      // PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS (128), also for projects
      // saved before it existed.
      {"Sampling", popup(7, "Sampling", 2, namesPointerOf(defs[6]), 1, 128), "Nearest|Smooth"},
      {"Spectrum samples", samples, nullptr},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Case const& c = cases[i];
    SCOPED_TRACE(c.name);
    PF_ParamDef const& def = defs[i + 1];
    EXPECT_EQ(bytesOf(def), c.image.bytes());
    if (c.choices != nullptr) {
      char const* names = static_cast<char const*>(namesPointerOf(def));
      ASSERT_NE(names, nullptr);
      EXPECT_STREQ(names, c.choices);
    }
  }
}

TEST_F(ParamsSetupTest, ChoiceStringsOutliveTheSetupCommand) {
  ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
  const std::vector<PF_ParamDef> first = effect.paramDefs();
  ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
  const std::vector<PF_ParamDef> second = effect.paramDefs();
  // Static text: the same pointers every time, still readable afterwards.
  EXPECT_EQ(namesPointerOf(first[2]), namesPointerOf(second[2]));
  EXPECT_STREQ(static_cast<char const*>(namesPointerOf(first[5])),
               "Final|Just CA|Without CA|Alpha|Full Alpha");
}

TEST_F(ParamsSetupTest, FailingThirdAddStopsTheSetupWithTheHostsError) {
  host.faults().addParam.failAt(3, PF_Err_OUT_OF_MEMORY);
  A_long numParamsBefore = -1;
  const testhost::CommandResult r =
      effect.paramsSetup([&](PF_InData&, PF_OutData& out) { numParamsBefore = out.num_params; });
  EXPECT_EQ(r.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(r.out.num_params, numParamsBefore);
  const std::vector<PF_ParamDef> defs = effect.paramDefs();
  ASSERT_EQ(defs.size(), 3u);  // the input layer, Frame center and Mode
  EXPECT_STREQ(defs[1].name, "Frame center");
  EXPECT_STREQ(defs[2].name, "Mode");
  EXPECT_EQ(host.faults().addParam.calls(), 3);
}

}  // namespace
}  // namespace zftest
