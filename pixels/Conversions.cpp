// The fifteen row conversions between host layouts and working buffers: the
// host's abort poll and the row addressing here, the arithmetic in
// ConversionBody.h, run on the widest instruction set the processor has
// (Convert{Sse2,Avx2,Neon}.cpp), with the scalar code for the last pixels of
// each row.

#include "pixels/Convert.h"
#include "pixels/ConversionRuns.h"

#include <cstddef>
#include <cstdint>

namespace {

// Each instruction set's table, or null where the build does not carry it.
PixelRun const* runsOf(InstructionSet set) {
  switch (set) {
    case InstructionSet::Scalar:
      return scalarPixelRuns();
    case InstructionSet::Sse2:
      return sse2PixelRuns();
    case InstructionSet::Avx2:
      return avx2PixelRuns();
    case InstructionSet::Neon:
      return neonPixelRuns();
  }
  return nullptr;
}

// Rows are addressed with the world's own rowbytes, which may include padding
// or be negative (rows stored bottom up).
unsigned char* rowStart(PF_EffectWorld const* world, A_long row) {
  return reinterpret_cast<unsigned char*>(world->data) +
         static_cast<std::int64_t>(world->rowbytes) * static_cast<std::int64_t>(row);
}

template <ConversionId Id>
PF_Err convertRow(InstructionSet set, void* refcon, A_long threadIndex, A_long row) {
  ConvertData const* cd = static_cast<ConvertData const*>(refcon);
  PF_Err result = PF_Err_NONE;
  if (threadIndex == 0)
    result = cd->inData->inter.abort(cd->inData->effect_ref);

  A_long const width = cd->src->width;
  if (width <= 0)
    return result;

  unsigned char const* s = rowStart(cd->src, row);
  unsigned char* d = rowStart(cd->dst, row);
  constexpr auto id = static_cast<std::size_t>(Id);
  std::ptrdiff_t done = 0;
  if (set != InstructionSet::Scalar)
    done = runsOf(set)[id](s, d, 0, width, cd->gain);
  scalarPixelRuns()[id](s, d, done, width, cd->gain);
  return result;
}

// rowCount is part of the callback shape; a row needs only its own number.
template <ConversionId Id, InstructionSet Set>
PF_Err convertRowOn(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<Id>(Set, refcon, threadIndex, row);
}

}  // namespace

#define ZF_ROW_CONVERSION(name, Src, Dst, Rule)                                                 \
  PF_Err it_Convert_##name(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) { \
    return convertRow<ConversionId::name>(fastestInstructionSet(), refcon, threadIndex, row);   \
  }
ZF_CONVERSIONS(ZF_ROW_CONVERSION)
#undef ZF_ROW_CONVERSION

namespace {

struct OnInstructionSet {
  RowFunc conversion;
  RowFunc on[4];  // indexed by InstructionSet
};

template <ConversionId Id>
constexpr OnInstructionSet onEveryInstructionSet(RowFunc conversion) {
  return {conversion,
          {convertRowOn<Id, InstructionSet::Scalar>, convertRowOn<Id, InstructionSet::Sse2>,
           convertRowOn<Id, InstructionSet::Avx2>, convertRowOn<Id, InstructionSet::Neon>}};
}

OnInstructionSet const everyConversion[] = {
#define ZF_ON_EVERY_SET(name, Src, Dst, Rule) onEveryInstructionSet<ConversionId::name>(it_Convert_##name),
    ZF_CONVERSIONS(ZF_ON_EVERY_SET)
#undef ZF_ON_EVERY_SET
};

}  // namespace

RowFunc conversionOn(RowFunc conversion, InstructionSet set) {
  if (!instructionSetSupported(set))
    return nullptr;
  for (OnInstructionSet const& entry : everyConversion) {
    if (entry.conversion == conversion)
      return entry.on[static_cast<int>(set)];
  }
  return nullptr;
}
