// The effect driver, through a small stub effect (StubEffect.cpp) loaded
// like any plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testhost/Effect.h"

namespace {

using testhost::App;
using testhost::Channels;
using testhost::Effect;
using testhost::Host;
using testhost::Instance;
using testhost::World;

TEST(Loader, ReportsTheLoadersErrorText) {
  try {
    testhost::Plugin plugin("/nonexistent/NoSuchEffect.so");
    FAIL() << "loading must fail";
  } catch (testhost::LoadError const& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("/nonexistent/NoSuchEffect.so"), std::string::npos) << what;
    EXPECT_GT(what.size(), std::string("cannot load /nonexistent/NoSuchEffect.so: ").size()) << what;
  }
}

TEST(Driver, DeclarationRecordsTheNineArgumentsAndPassesTheResultBack) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  for (A_Err answer : {PF_Err_NONE, PF_Err_OUT_OF_MEMORY}) {
    const testhost::PluginDataResult result = effect.declare(answer);
    EXPECT_EQ(result.result, answer);
    ASSERT_EQ(result.calls.size(), 1u);
    testhost::PluginDataCall const& call = result.calls[0];
    EXPECT_TRUE(call.inPtrMatches);
    EXPECT_EQ(call.name, "Stub Effect");
    EXPECT_EQ(call.matchName, "stub_effect");
    EXPECT_EQ(call.category, "Tests");
    EXPECT_EQ(call.entryPointName, "EffectMain");
    EXPECT_EQ(call.kind, 0x65464B54);
    EXPECT_EQ(call.apiVersionMajor, 13);
    EXPECT_EQ(call.apiVersionMinor, 27);
    EXPECT_EQ(call.reservedInfo, 8);
  }
}

TEST(Driver, PremiereProHearsTheAnnouncedPixelFormat) {
  for (App app : {App::AfterEffects, App::PremierePro}) {
    Host host(app);
    Effect effect(host, ZF_STUB_EFFECT_PATH);
    const testhost::CommandResult r = effect.globalSetup();
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.out.my_version, 0x00100001u);
    const std::vector<PrPixelFormat> expected = app == App::PremierePro
                                                    ? std::vector<PrPixelFormat>{PF_PixelFormat_BGRA32}
                                                    : std::vector<PrPixelFormat>{};
    EXPECT_EQ(host.supportedPixelFormats(), expected);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

// As Premiere Pro the host renders only in announced formats (the stub
// announces 8-bit BGRA), unless a test asks for what no real host sends.
TEST(Driver, PremiereProRendersOnlyInAnnouncedFormats) {
  Host host(App::PremierePro);
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.globalSetup();
  effect.paramsSetup();
  Instance instance(effect, 2, 2);
  World bgra(PF_PixelFormat_BGRA32, 2, 2), bgraOut(PF_PixelFormat_BGRA32, 2, 2);
  World argb(PF_PixelFormat_ARGB32, 2, 2), argbOut(PF_PixelFormat_ARGB32, 2, 2);
  EXPECT_EQ(instance.render(bgra, bgraOut).err, PF_Err_NONE);
  EXPECT_THROW(instance.render(argb, argbOut), testhost::UnannouncedFormat);
  EXPECT_THROW(instance.smartRender(argb, argbOut), testhost::UnannouncedFormat);
  host.setAnnouncedFormatsOnly(false);
  EXPECT_EQ(instance.render(argb, argbOut).err, PF_Err_NONE);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, ParamsSetupStoresDefinitionsAndStopsAtAnInjectedFailure) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  testhost::CommandResult r = effect.paramsSetup();
  ASSERT_EQ(r.err, PF_Err_NONE);
  EXPECT_EQ(r.out.num_params, 4);
  std::vector<PF_ParamDef> defs = effect.paramDefs();
  ASSERT_EQ(defs.size(), 4u);
  EXPECT_EQ(defs[0].param_type, PF_Param_LAYER);
  EXPECT_STREQ(defs[2].name, "Choice");
  EXPECT_STREQ(defs[2].u.pd.u.namesptr, "One|Two|Three");
  EXPECT_EQ(defs[3].u.fs_d.value, 1.5);

  host.faults().addParam.failAt(2, PF_Err_OUT_OF_MEMORY);
  r = effect.paramsSetup();
  EXPECT_EQ(r.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(effect.paramDefs().size(), 2u) << "the layer and the first parameter";
}

TEST(Driver, ParametersAreAddedWithIndexMinusOneOnly) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  std::vector<PF_Err> answers;
  const testhost::CommandResult r = effect.paramsSetup([&](PF_InData& in, PF_OutData&) {
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    // With the layer alone declared, 1 is the next index: refused all the same.
    for (PF_ParamIndex index : {1, 0, 2, -2}) {
      answers.push_back(in.inter.add_param(in.effect_ref, index, &def));
    }
  });
  EXPECT_EQ(r.err, PF_Err_NONE);
  EXPECT_EQ(answers, std::vector<PF_Err>(4, PF_Err_INVALID_INDEX));
  EXPECT_EQ(effect.paramDefs().size(), 4u) << "the layer and the stub's three, added with -1";
}

TEST(Driver, SequenceHandleIsKeptBetweenCommands) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  Instance instance(effect, 8, 8);
  ASSERT_EQ(instance.sequenceSetup().err, PF_Err_NONE);
  PF_Handle handle = instance.sequenceData();
  ASSERT_NE(handle, nullptr);
  int32_t value = 0;
  std::memcpy(&value, *handle, sizeof value);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(host.accountingReport(), "") << "the host holds the instance's handle";
  const testhost::CommandResult down = instance.sequenceSetdown();
  EXPECT_EQ(down.in.sequence_data, handle) << "passed in with the command";
  EXPECT_EQ(instance.sequenceData(), nullptr);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, ForgottenSequenceHandleIsALeak) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  {
    Instance instance(effect, 8, 8);
    instance.sequenceSetup();
  }
  EXPECT_EQ(host.accountingReport(), "1 handle not disposed of, sizes 4\n");
}

TEST(Driver, RenderDeliversTheCurrentParameterValues) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  Instance instance(effect, 4, 3);
  World input(PF_PixelFormat_ARGB32, 4, 3, 4);
  World output(PF_PixelFormat_ARGB32, 4, 3);
  input.fill(Channels{255, 9, 8, 7});

  testhost::CommandResult r = instance.render(input, output);
  ASSERT_EQ(r.err, PF_Err_NONE);
  EXPECT_EQ(output.get(0, 0).red, 2) << "popup default";
  EXPECT_EQ(output.get(0, 0).green, 50) << "point default";
  EXPECT_EQ(output.get(0, 0).blue, 15) << "gain default";
  EXPECT_EQ(output.get(3, 2).red, 9) << "copied through iterate_generic";

  instance.setPopup("Choice", 3);
  instance.setPoint(testhost::DiskId{2}, 12 << 16, 0);
  instance.setFloat(testhost::Position{3}, 2.0);
  host.settings().current_time = 5;
  ASSERT_EQ(instance.render(input, output).err, PF_Err_NONE);
  EXPECT_EQ(output.get(0, 0).red, 3);
  EXPECT_EQ(output.get(0, 0).green, 12);
  EXPECT_EQ(output.get(0, 0).blue, 20);
  const std::vector<testhost::ParamCheckout> log = instance.checkoutLog();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[5].index, 3);
  EXPECT_EQ(log[5].what_time, 5);
  EXPECT_EQ(instance.outstandingCheckouts(), 0);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, InstanceMadeBeforeParamsSetupGetsTheDefaults) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  Instance instance(effect, 2, 2);
  effect.paramsSetup();
  EXPECT_EQ(instance.param("Choice").u.pd.value, 2);
  instance.setFloat("Gain", 0.5);
  EXPECT_EQ(instance.param(testhost::DiskId{4}).u.fs_d.value, 0.5);
}

// Parameters are found by the name the effect gave them, by disk id or by
// position; one the effect did not declare, or the input layer, is an error
// that names what was asked for.
TEST(Driver, ParametersAreFoundByNameDiskIdOrPosition) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  Instance instance(effect, 2, 2);
  instance.setFloat("Gain", 0.125);
  EXPECT_EQ(instance.param(testhost::DiskId{4}).u.fs_d.value, 0.125);
  EXPECT_EQ(instance.param(testhost::Position{3}).u.fs_d.value, 0.125);
  const testhost::Param missing[] = {"Gain ",
                                     "gain",
                                     testhost::DiskId{1},
                                     testhost::DiskId{5},
                                     testhost::Position{0},
                                     testhost::Position{4}};
  for (testhost::Param const& p : missing) {
    SCOPED_TRACE(p.describe());
    try {
      instance.param(p);
      ADD_FAILURE() << "found";
    } catch (std::out_of_range const& e) {
      EXPECT_NE(std::string(e.what()).find(p.describe()), std::string::npos) << e.what();
    }
  }
}

// A project saved before a parameter existed: the parameter holds its
// definition's value where the definition asks for that, else its default.
TEST(Driver, OldProjectsTakeTheValueOnlyWhereTheDefinitionAsks) {
  PF_ParamDef popup{};
  popup.param_type = PF_Param_POPUP;
  popup.u.pd.value = 2;
  popup.u.pd.dephault = 3;
  PF_ParamDef slider{};
  slider.param_type = PF_Param_FLOAT_SLIDER;
  slider.u.fs_d.value = 0.25;
  slider.u.fs_d.dephault = 4.0f;
  PF_ParamDef point{};
  point.param_type = PF_Param_POINT;
  point.u.td.x_value = 7;
  point.u.td.x_dephault = 8;
  point.u.td.y_value = 9;
  point.u.td.y_dephault = 10;
  for (const A_long flags : {PF_ParamFlag_NONE, PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS}) {
    SCOPED_TRACE(testing::Message() << "flags " << flags);
    bool const useValue = flags != PF_ParamFlag_NONE;
    popup.flags = slider.flags = point.flags = flags;
    EXPECT_EQ(testhost::valueForOldProject(popup).u.pd.value, useValue ? 2 : 3);
    EXPECT_EQ(testhost::valueForOldProject(slider).u.fs_d.value, useValue ? 0.25 : 4.0);
    const PF_PointDef p = testhost::valueForOldProject(point).u.td;
    EXPECT_EQ(p.x_value, useValue ? 7 : 8);
    EXPECT_EQ(p.y_value, useValue ? 9 : 10);
  }
}

// An instance opened from a project: saved values by disk id, the rest as
// for an old project.
TEST(Driver, InstanceFromAProjectTakesTheSavedValuesByDiskId) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  PF_ParamDef gain = effect.paramDefs()[3];
  gain.u.fs_d.value = 0.75;
  Instance instance(effect, 2, 2, testhost::SavedParams{{4, gain}});
  EXPECT_EQ(instance.param("Gain").u.fs_d.value, 0.75);
  EXPECT_EQ(instance.param("Choice").u.pd.value, 2);  // no disk id 3 saved: the default
}

TEST(Loader, FindsOtherExportsByName) {
  testhost::Plugin plugin(ZF_STUB_EFFECT_PATH);
  EXPECT_NE(plugin.symbol("PluginDataEntryFunction"), nullptr);
  EXPECT_EQ(plugin.symbol("NoSuchExport"), nullptr);
}

TEST(Driver, CheckInOfARecordNeverCheckedOutIsReported) {
  Host host;
  PF_InData in = host.inData();
  PF_ParamDef never{};
  EXPECT_EQ(in.inter.checkin_param(in.effect_ref, &never), PF_Err_NONE);
  EXPECT_EQ(host.accountingReport(), "1 check-in of a parameter that was not checked out\n");
}

TEST(Driver, InjectedCheckinFailureIsReturnedAndTheBooksStayBalanced) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  Instance instance(effect, 2, 2);
  World input(PF_PixelFormat_ARGB32, 2, 2), output(PF_PixelFormat_ARGB32, 2, 2);
  host.faults().checkinParam.failAt(2, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(instance.render(input, output).err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(host.faults().checkinParam.calls(), 3);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, RendersFromSeveralThreadsAtOnce) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  Instance instance(effect, 16, 16);
  instance.sequenceSetup();
  World input(PF_PixelFormat_ARGB32, 16, 16);
  input.fill(Channels{255, 1, 2, 3});
  std::vector<std::unique_ptr<World>> outputs;
  std::vector<PF_Err> results(4, -1);
  for (int t = 0; t < 4; ++t) {
    outputs.push_back(std::make_unique<World>(PF_PixelFormat_ARGB32, 16, 16));
  }
  std::vector<std::thread> threads;
  for (size_t t = 0; t < outputs.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int frame = 0; frame < 5 && results[t] <= 0; ++frame) {
        results[t] = t % 2 == 0 ? instance.render(input, *outputs[t]).err
                                : instance.smartRender(input, *outputs[t]).render.err;
      }
    });
  }
  for (std::thread& t : threads) {
    t.join();
  }
  for (size_t t = 0; t < outputs.size(); ++t) {
    EXPECT_EQ(results[t], PF_Err_NONE);
    EXPECT_EQ(outputs[t]->get(15, 15).blue, 3);
  }
  instance.sequenceSetdown();
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, SmartRenderPassesTheCheckedOutRectangleThroughPreRenderData) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  effect.paramsSetup();
  Instance instance(effect, 6, 4);
  World input(PF_PixelFormat_ARGB32, 8, 6);
  World output(PF_PixelFormat_ARGB32, 6, 4);
  testhost::SmartRenderOptions options;
  options.setInputRect = true;
  options.inputRect = PF_LRect{-10, -5, 0, 1};

  const testhost::SmartRenderResult r = instance.smartRender(input, output, options);
  ASSERT_EQ(r.preRender.command.err, PF_Err_NONE);
  ASSERT_EQ(r.preRender.checkouts.size(), 1u);
  EXPECT_EQ(r.preRender.checkouts[0].index, 0);
  EXPECT_EQ(r.preRender.checkouts[0].request.rect.right, 8) << "default request: the whole layer";
  EXPECT_EQ(r.preRender.output.result_rect.left, -10);
  EXPECT_EQ(r.preRender.output.max_result_rect.top, -5);
  ASSERT_TRUE(r.rendered);
  EXPECT_EQ(r.render.err, PF_Err_NONE);
  EXPECT_STREQ(r.render.out.return_msg, "origin -10 -5");
  EXPECT_EQ(r.layerPixelCheckouts, 1);
  EXPECT_EQ(r.outputCheckouts, 1);
  EXPECT_TRUE(r.deleteFuncCalled);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Driver, SmartRenderCheckoutFailuresReachThePlugin) {
  using testhost::Faults;
  struct Case {
    char const* what;
    testhost::FaultInjector Faults::*injector;
    bool rendered;
  };
  const Case cases[] = {
      {"checkout_layer", &Faults::checkoutLayer, false},
      {"checkout_layer_pixels", &Faults::checkoutLayerPixels, true},
      {"checkout_output", &Faults::checkoutOutput, true},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    Effect effect(host, ZF_STUB_EFFECT_PATH);
    effect.paramsSetup();
    Instance instance(effect, 2, 2);
    World input(PF_PixelFormat_ARGB32, 2, 2), output(PF_PixelFormat_ARGB32, 2, 2);
    (host.faults().*c.injector).failAt(1, PF_Err_OUT_OF_MEMORY);
    const testhost::SmartRenderResult r = instance.smartRender(input, output);
    EXPECT_EQ(r.rendered, c.rendered);
    EXPECT_EQ(c.rendered ? r.render.err : r.preRender.command.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST(Driver, CallbacksRefuseAStaleEffectRef) {
  Host host;
  Effect effect(host, ZF_STUB_EFFECT_PATH);
  const testhost::CommandResult r = effect.about();
  EXPECT_STREQ(r.out.return_msg, "Stub Effect, v2.0");
  PF_ParamDef def{};
  EXPECT_EQ(r.in.inter.add_param(r.in.effect_ref, -1, &def), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(r.in.inter.abort(r.in.effect_ref), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
