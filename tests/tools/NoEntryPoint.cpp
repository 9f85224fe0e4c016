// A library that loads but is no effect: it lacks EffectMain.
extern "C" __attribute__((visibility("default"))) int notAnEffect() {
  return 0;
}
