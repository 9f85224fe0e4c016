#ifndef ZF_RENDER_BANDWORK_H
#define ZF_RENDER_BANDWORK_H

// What one band of the row dispatch runs: rows firstRow .. endRow - 1
// (empty for the bands past the last row), band counting from 0.
using BandWork = void (*)(void const* context, int band, int firstRow, int endRow);

#endif
