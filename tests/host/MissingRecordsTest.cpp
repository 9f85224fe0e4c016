// Records a host should never send: a missing record, callback or suite
// gets PF_Err_BAD_CALLBACK_PARAM before anything is read or written.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "PluginFixture.h"

namespace zftest {
namespace {

using testhost::World;

PF_Err noWorld(PF_ProgPtr, A_long, PF_EffectWorld** world) {
  *world = nullptr;
  return PF_Err_NONE;
}
PF_Err noOutput(PF_ProgPtr, PF_EffectWorld** world) {
  *world = nullptr;
  return PF_Err_NONE;
}
int layerCheckouts = 0;
PF_Err countLayerCheckout(PF_ProgPtr, PF_ParamIndex, A_long, PF_RenderRequest const*, A_long, A_long,
                          A_u_long, PF_CheckoutResult*) {
  ++layerCheckouts;
  return PF_Err_NONE;
}

class MissingRecordsTest : public PluginTest {
 protected:
  void SetUp() override { setUpEffect(); }
};

TEST_F(MissingRecordsTest, MissingInDataIsRefusedByEveryHandledCommand) {
  const PF_Cmd commands[] = {PF_Cmd_ABOUT,          PF_Cmd_GLOBAL_SETUP,     PF_Cmd_PARAMS_SETUP,
                             PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_SETDOWN,
                             PF_Cmd_RENDER,         PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER};
  World output(PF_PixelFormat_ARGB32, 4, 4);
  const std::vector<std::uint8_t> pixels = output.bytes();
  for (const PF_Cmd cmd : commands) {
    SCOPED_TRACE(testing::Message() << "cmd " << cmd);
    PF_OutData out;
    std::memset(&out, 0x5A, sizeof out);
    const std::vector<unsigned char> before = bytesOf(out);
    EXPECT_EQ(effect.plugin().effectMain()(cmd, nullptr, &out, nullptr, output.record(), nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(bytesOf(out), before);
  }
  EXPECT_EQ(output.bytes(), pixels);
}

TEST_F(MissingRecordsTest, MissingOutDataIsRefusedWhereTheCommandWritesIt) {
  const PF_Cmd commands[] = {PF_Cmd_ABOUT,          PF_Cmd_GLOBAL_SETUP,     PF_Cmd_PARAMS_SETUP,
                             PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_SETDOWN};
  for (const PF_Cmd cmd : commands) {
    SCOPED_TRACE(testing::Message() << "cmd " << cmd);
    PF_InData in = host.inData(16, 16);
    EXPECT_EQ(effect.plugin().effectMain()(cmd, &in, nullptr, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_EQ(host.handleStats().allocated, 0);
  EXPECT_EQ(effect.paramDefs().size(), kParamCount);
}

TEST_F(MissingRecordsTest, MissingCallbacksAndSuitesAreRefused) {
  testhost::Instance instance(effect, 8, 8);
  World input(PF_PixelFormat_ARGB32, 8, 8);
  World output(PF_PixelFormat_ARGB32, 8, 8);
  const std::vector<std::uint8_t> untouched = output.bytes();
  PF_UtilCallbacks utils = *host.utils();
  auto const withUtils = [&](void (*change)(PF_UtilCallbacks&)) {
    utils = *host.utils();
    change(utils);
    return [&](PF_InData& in, PF_OutData&) { in.utils = &utils; };
  };

  PF_ParamDef* noParams[6] = {};
  PF_ParamDef layer{};
  layer.param_type = PF_Param_LAYER;
  layer.u.ld = *input.record();
  PF_ParamDef* onlyLayer[6] = {&layer};
  PF_PreRenderInput preInput{};
  PF_PreRenderOutput preOutput{};
  PF_PreRenderCallbacks preCallbacks = {nullptr, nullptr};
  PF_SmartRenderInput smartInput{};
  PF_SmartRenderCallbacks smartCallbacks = {noWorld, nullptr, noOutput};

  // The host's list restarts with every params setup: nothing may be added to it.
  auto const paramsSetupAddingNothing = [&](testhost::CommandHook const& hook) {
    A_long numParamsBefore = -1;
    const testhost::CommandResult r = effect.paramsSetup([&](PF_InData& in, PF_OutData& out) {
      hook(in, out);
      numParamsBefore = out.num_params;
    });
    EXPECT_EQ(effect.paramDefs().size(), 1u);
    EXPECT_EQ(r.out.num_params, numParamsBefore);
    return r.err;
  };

  struct Case {
    char const* name;
    std::function<PF_Err()> send;
  };
  const Case cases[] = {
      {"About without ANSI suite",
       [&] {
         host.setSuiteMissing(kPFANSISuite, kPFANSISuiteVersion1);
         const testhost::CommandResult r =
             effect.about([](PF_InData&, PF_OutData& out) { std::strcpy(out.return_msg, "kept"); });
         host.setSuiteMissing(kPFANSISuite, kPFANSISuiteVersion1, false);
         EXPECT_STREQ(r.out.return_msg, "kept");
         return r.err;
       }},
      {"About without basic suite",
       [&] { return effect.about([](PF_InData& in, PF_OutData&) { in.pica_basicP = nullptr; }).err; }},
      {"Premiere global setup without basic suite",
       [&] {
         host.setApp(testhost::App::PremierePro);
         const testhost::CommandResult r = effect.globalSetup([](PF_InData& in, PF_OutData& out) {
           in.pica_basicP = nullptr;
           out.out_flags = 0x77;
         });
         host.setApp(testhost::App::AfterEffects);
         EXPECT_EQ(r.out.out_flags, 0x77);
         EXPECT_EQ(r.out.my_version, 0u);
         return r.err;
       }},
      {"params setup without add_param",
       [&] {
         return paramsSetupAddingNothing([](PF_InData& in, PF_OutData&) { in.inter.add_param = nullptr; });
       }},
      {"params setup without utils",
       [&] { return paramsSetupAddingNothing([](PF_InData& in, PF_OutData&) { in.utils = nullptr; }); }},
      {"params setup without strcpy",
       [&] {
         return paramsSetupAddingNothing(withUtils([](PF_UtilCallbacks& u) { u.ansi.strcpy = nullptr; }));
       }},
      {"sequence setup without host_new_handle",
       [&] {
         const testhost::CommandResult r =
             instance.sequenceSetup(withUtils([](PF_UtilCallbacks& u) { u.host_new_handle = nullptr; }));
         EXPECT_EQ(r.out.sequence_data, nullptr);
         return r.err;
       }},
      {"render without parameter array",
       [&] { return instance.send(PF_Cmd_RENDER, nullptr, output.record(), nullptr).err; }},
      {"render without input layer",
       [&] { return instance.send(PF_Cmd_RENDER, noParams, output.record(), nullptr).err; }},
      {"render without output",
       [&] { return instance.send(PF_Cmd_RENDER, onlyLayer, nullptr, nullptr).err; }},
      {"render without checkout_param",
       [&] {
         return instance
             .render(input, output, [](PF_InData& in, PF_OutData&) { in.inter.checkout_param = nullptr; })
             .err;
       }},
      {"render without basic suite",
       [&] {
         return instance.render(input, output, [](PF_InData& in, PF_OutData&) { in.pica_basicP = nullptr; })
             .err;
       }},
      {"smart pre-render without extra",
       [&] { return instance.send(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, nullptr).err; }},
      {"smart pre-render without checkout_layer",
       [&] {
         PF_PreRenderExtra extra{&preInput, &preOutput, &preCallbacks};
         return instance.send(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &extra).err;
       }},
      {"smart pre-render without output record",
       [&] {
         PF_PreRenderCallbacks callbacks = {countLayerCheckout, nullptr};
         PF_PreRenderExtra extra{&preInput, nullptr, &callbacks};
         layerCheckouts = 0;
         const PF_Err err = instance.send(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &extra).err;
         EXPECT_EQ(layerCheckouts, 0);
         return err;
       }},
      {"smart pre-render without Handle Suite",
       [&] {
         host.setSuiteMissing(kPFHandleSuite, kPFHandleSuiteVersion2);
         testhost::SmartRenderOptions options;
         options.presetResultRect = PF_LRect{1, 2, 3, 4};
         const testhost::PreRenderResult r = instance.smartPreRenderOnly(input, options);
         host.setSuiteMissing(kPFHandleSuite, kPFHandleSuiteVersion2, false);
         EXPECT_TRUE(r.checkouts.empty());
         EXPECT_EQ(bytesOf(r.output.result_rect), bytesOf(PF_LRect{1, 2, 3, 4}));
         EXPECT_EQ(r.output.pre_render_data, nullptr);
         return r.command.err;
       }},
      {"smart render without extra",
       [&] { return instance.send(PF_Cmd_SMART_RENDER, nullptr, nullptr, nullptr).err; }},
      {"smart render without callbacks",
       [&] {
         PF_SmartRenderExtra extra{&smartInput, nullptr};
         return instance.send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra).err;
       }},
      {"smart render given no worlds",
       [&] {
         PF_SmartRenderExtra extra{&smartInput, &smartCallbacks};
         return instance.send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra).err;
       }},
      {"smart render without checkout_output",
       [&] {
         PF_SmartRenderCallbacks callbacks = {noWorld, nullptr, nullptr};
         PF_SmartRenderExtra extra{&smartInput, &callbacks};
         return instance.send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra).err;
       }},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t checkoutsBefore = instance.checkoutLog().size();
    EXPECT_EQ(c.send(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(instance.checkoutLog().size(), checkoutsBefore);
    EXPECT_EQ(instance.outstandingCheckouts(), 0);
  }
  EXPECT_EQ(output.bytes(), untouched);
}

TEST_F(MissingRecordsTest, DeclarationWithoutCallbackIsRefused) {
  EXPECT_EQ(effect.plugin().pluginDataEntry()(nullptr, nullptr, host.basicSuite(), "host", "1"),
            PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace zftest
