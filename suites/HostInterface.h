// Records, callback tables, suites and constants of the After Effects effect
// plug-in interface, as this plug-in and our stand-in host use them.
//
// These records cross the boundary between a host and the plug-in, so their
// binary layout is the host's, field by field, on Windows x64, macOS x86-64
// and arm64, and Linux alike. The static_asserts at the end check it wherever
// this header is compiled, cross builds included. Slots that nobody here
// calls keep their offsets through opaque pointer types.
#ifndef ZF_SUITES_HOST_INTERFACE_H
#define ZF_SUITES_HOST_INTERFACE_H

#include <cstddef>
#include <cstdint>

extern "C" {

// Scalar types.
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef char A_char;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef unsigned char A_u_char;
typedef unsigned long long A_u_longlong;
typedef A_u_longlong A_HandleSize;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef A_long A_AppID;

typedef int32_t SPErr;
typedef int32_t SPBoolean;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_char PF_Boolean;
typedef A_long PF_Fixed;
typedef A_u_long PF_UFixed;
typedef A_FpLong PF_FpLong;
typedef A_FpShort PF_FpShort;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ParamValue;
typedef A_long PF_ChangeFlags;
typedef A_long PF_ChannelMask;
typedef A_long PF_InFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_WorldFlags;
typedef A_long PF_NewWorldFlags;
typedef A_long PF_PixelFormat;
typedef A_long PF_CallbackID;
typedef A_long PF_PlatDataID;
typedef A_long PF_TransferMode;
typedef PF_TransferMode PF_XferMode;
typedef A_long PF_GPU_Framework;
typedef A_u_long PF_KernelFlags;
typedef A_u_long PF_FSliderFlags;
typedef A_short PF_Precision;
typedef A_short PF_ValueDisplayFlags;
typedef short PF_RenderOutputFlags;
typedef int PrPixelFormat;

// A host memory handle: a pointer to the host's master pointer.
typedef void** PF_Handle;
typedef void* PF_SndSamplePtr;

// Opaque host records that only appear behind pointers.
struct PF_InData;
struct PF_ProgressInfo;
typedef struct PF_ProgressInfo* PF_ProgPtr;
struct _PF_CustomUIInfo;
typedef struct _PF_CustomUIInfo PF_CustomUIInfo;
struct _PF_LayerAudio;
typedef struct _PF_LayerAudio* PF_LayerAudio;
struct PF_SampPB;
struct PF_CompositeMode;
struct PF_MaskWorld;
struct PF_FloatMatrix;
struct PF_YouMustCastThisToActualFunctionType;
typedef struct PF_YouMustCastThisToActualFunctionType* PF_CallbackFunc;
typedef void* PF_PluginDataPtr;

// Small records.
struct PF_LRect {
  A_long left;
  A_long top;
  A_long right;
  A_long bottom;
};
typedef PF_LRect PF_Rect;
typedef PF_Rect PF_UnionableRect;

struct PF_Point {
  A_long h;
  A_long v;
};

struct PF_RationalScale {
  A_long num;
  A_u_long den;
};

struct PF_SpecVersion {
  A_short major;
  A_short minor;
};

struct PF_Pixel {
  A_u_char alpha;
  A_u_char red;
  A_u_char green;
  A_u_char blue;
};
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel* PF_PixelPtr;

// 16-bit channels run from 0 to 32768.
struct PF_Pixel16 {
  A_u_short alpha;
  A_u_short red;
  A_u_short green;
  A_u_short blue;
};

struct PF_PixelFloat {
  PF_FpShort alpha;
  PF_FpShort red;
  PF_FpShort green;
  PF_FpShort blue;
};
typedef PF_PixelFloat PF_Pixel32;

// Audio is never used; the record only holds its place in PF_InData and
// PF_OutData.
struct PF_SoundFormatInfo {
  A_FpLong reserved_rate;
  A_long reserved[2];
};

struct PF_SoundWorld {
  PF_SoundFormatInfo fi;
  A_long num_samples;
  void* dataP;
};

// A world (image): the same record serves as a layer parameter.
struct PF_LayerDef {
  void* reserved0;
  void* reserved1;
  PF_WorldFlags world_flags;
  PF_PixelPtr data;
  A_long rowbytes;
  A_long width;
  A_long height;
  PF_UnionableRect extent_hint;
  void* platform_ref;
  A_long reserved_long1;
  void* reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void* reserved_long2;
  A_long origin_x;
  A_long origin_y;
  A_long reserved_long3;
  A_long dephault;
};
typedef PF_LayerDef PF_EffectWorld;

// Parameter definitions.
struct PF_PointDef {
  PF_Fixed x_value;
  PF_Fixed y_value;
  A_char reserved[3];
  PF_Boolean restrict_bounds;
  PF_Fixed x_dephault;
  PF_Fixed y_dephault;
};

struct PF_PopupDef {
  PF_ParamValue value;
  A_short num_choices;
  A_short dephault;
  union {
    A_char const* namesptr;
  } u;
};

struct PF_FloatSliderDef {
  PF_FpLong value;
  PF_FpLong phase;
  A_char value_desc[32];
  PF_FpShort valid_min;
  PF_FpShort valid_max;
  PF_FpShort slider_min;
  PF_FpShort slider_max;
  PF_FpShort dephault;
  PF_Precision precision;
  PF_ValueDisplayFlags display_flags;
  PF_FSliderFlags fs_flags;
  PF_FpShort curve_tolerance;
  PF_Boolean useExponent;
  PF_FpShort exponent;
};

// The host's union holds further definition kinds; none is larger than the
// layer, and none is used here.
union PF_ParamDefUnion {
  PF_LayerDef ld;
  PF_PointDef td;
  PF_PopupDef pd;
  PF_FloatSliderDef fs_d;
};

struct PF_ParamDef {
  union {
    A_long id;
    PF_ChangeFlags change_flags;
  } uu;
  PF_ParamUIFlags ui_flags;
  A_short ui_width;
  A_short ui_height;
  PF_ParamType param_type;
  A_char name[32];
  PF_ParamFlags flags;
  A_long unused;
  PF_ParamDefUnion u;
};
typedef PF_ParamDef* PF_ParamDefPtr;
typedef PF_ParamDef** PF_ParamList;

// Callback shapes.
typedef PF_Err (*PF_IteratePixel8Func)(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out);
typedef PF_Err (*PF_IteratePixel16Func)(void* refcon, A_long x, A_long y, PF_Pixel16* in, PF_Pixel16* out);
// Row callback of iterate_generic: called once per index i in [0, iterations).
typedef PF_Err (*PF_IterateGenericFunc)(void* refcon, A_long thread_index, A_long i, A_long iterations);
typedef void (*PF_DeletePreRenderDataFunc)(void* pre_render_data);

struct PF_InteractCallbacks {
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                           A_u_long time_scale, PF_ParamDef* param);
  PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
  PF_Err (*abort)(PF_ProgPtr effect_ref);
  PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
  PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
  PF_Err (*checkout_layer_audio)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long start_time,
                                 A_long duration, A_u_long time_scale, PF_UFixed rate,
                                 A_long bytes_per_sample, A_long num_channels, A_long fmt_signed,
                                 PF_LayerAudio* audio);
  PF_Err (*checkin_layer_audio)(PF_ProgPtr effect_ref, PF_LayerAudio audio);
  PF_Err (*get_audio_data)(PF_ProgPtr effect_ref, PF_LayerAudio audio, PF_SndSamplePtr* data,
                           A_long* num_samples, PF_UFixed* rate, A_long* bytes_per_sample,
                           A_long* num_channels, A_long* fmt_signed);
  void* reserved_str[3];
  void* reserved[10];
};

struct PF_ANSICallbacksBlock {
  A_FpLong (*atan)(A_FpLong);
  A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
  A_FpLong (*ceil)(A_FpLong);
  A_FpLong (*cos)(A_FpLong);
  A_FpLong (*exp)(A_FpLong);
  A_FpLong (*fabs)(A_FpLong);
  A_FpLong (*floor)(A_FpLong);
  A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
  A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
  A_FpLong (*log)(A_FpLong);
  A_FpLong (*log10)(A_FpLong);
  A_FpLong (*pow)(A_FpLong x, A_FpLong y);
  A_FpLong (*sin)(A_FpLong);
  A_FpLong (*sqrt)(A_FpLong);
  A_FpLong (*tan)(A_FpLong);
  int (*sprintf)(A_char* buffer, A_char const* format, ...);
  A_char* (*strcpy)(A_char* dest, A_char const* src);
  A_FpLong (*asin)(A_FpLong);
  A_FpLong (*acos)(A_FpLong);
  A_long unused_longA[1];
};

struct PF_ColorCallbacks {
  PF_Err (*RGBtoHLS)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* hls);
  PF_Err (*HLStoRGB)(PF_ProgPtr effect_ref, PF_Fixed* hls, PF_Pixel* rgb);
  PF_Err (*RGBtoYIQ)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* yiq);
  PF_Err (*YIQtoRGB)(PF_ProgPtr effect_ref, PF_Fixed* yiq, PF_Pixel* rgb);
  PF_Err (*Luminance)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lum100);
  PF_Err (*Hue)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* hue);
  PF_Err (*Lightness)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lightness);
  PF_Err (*Saturation)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* saturation);
};

struct _PF_UtilCallbacks {
  PF_Err (*begin_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf, PF_SampPB* params);
  PF_Err (*subpixel_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, PF_SampPB const* params,
                            PF_Pixel* dst);
  PF_Err (*area_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, PF_SampPB const* params,
                        PF_Pixel* dst);
  void* get_batch_func_is_deprecated;
  PF_Err (*end_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf, PF_SampPB* params);
  PF_Err (*composite_rect)(PF_ProgPtr effect_ref, PF_Rect* src_rect, A_long src_opacity,
                           PF_EffectWorld* source_wld, A_long dest_x, A_long dest_y, PF_Field field_rdr,
                           PF_XferMode xfer_mode, PF_EffectWorld* dest_wld);
  PF_Err (*blend)(PF_ProgPtr effect_ref, PF_EffectWorld const* src1, PF_EffectWorld const* src2,
                  PF_Fixed ratio, PF_EffectWorld* dst);
  PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_Rect const* area, PF_KernelFlags flags,
                     A_long kernel_size, void* a_kernel, void* r_kernel, void* g_kernel, void* b_kernel,
                     PF_EffectWorld* dst);
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  PF_Err (*fill)(PF_ProgPtr effect_ref, PF_Pixel const* color, PF_Rect const* dst_rect,
                 PF_EffectWorld* world);
  PF_Err (*gaussian_kernel)(PF_ProgPtr effect_ref, A_FpLong kRadius, PF_KernelFlags flags,
                            A_FpLong multiplier, A_long* diameter, void* kernel);
  PF_Err (*iterate)(struct PF_InData* in_data, A_long progress_base, A_long progress_final,
                    PF_EffectWorld* src, PF_Rect const* area, void* refcon, PF_IteratePixel8Func pix_fn,
                    PF_EffectWorld* dst);
  PF_Err (*premultiply)(PF_ProgPtr effect_ref, A_long forward, PF_EffectWorld* dst);
  PF_Err (*premultiply_color)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_Pixel const* color,
                              A_long forward, PF_EffectWorld* dst);
  PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                      PF_EffectWorld* world);
  PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  PF_Err (*iterate_origin)(struct PF_InData* in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld* src, PF_Rect const* area, PF_Point const* origin, void* refcon,
                           PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_lut)(struct PF_InData* in_data, A_long progress_base, A_long progress_final,
                        PF_EffectWorld* src, PF_Rect const* area, A_u_char* a_lut0, A_u_char* r_lut0,
                        A_u_char* g_lut0, A_u_char* b_lut0, PF_EffectWorld* dst);
  PF_Err (*transfer_rect)(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags m_flags, PF_Field field,
                          PF_Rect const* src_rec, PF_EffectWorld const* src_world,
                          PF_CompositeMode const* comp_mode, PF_MaskWorld const* mask_world0, A_long dest_x,
                          A_long dest_y, PF_EffectWorld* dst_world);
  PF_Err (*transform_world)(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags m_flags, PF_Field field,
                            PF_EffectWorld const* src_world, PF_CompositeMode const* comp_mode,
                            PF_MaskWorld const* mask_world0, PF_FloatMatrix const* matrices,
                            A_long num_matrices, PF_Boolean src2dst_matrix, PF_Rect const* dest_rect,
                            PF_EffectWorld* dst_world);
  PF_Handle (*host_new_handle)(A_u_longlong size);
  void* (*host_lock_handle)(PF_Handle pf_handle);
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  PF_Err (*get_callback_addr)(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags mode_flags,
                              PF_CallbackID which_callback, PF_CallbackFunc* fn_ptr);
  PF_Err (*app)(PF_ProgPtr effect_ref, A_long selector, ...);
  PF_ANSICallbacksBlock ansi;
  PF_ColorCallbacks colorCB;
  PF_Err (*get_platform_data)(PF_ProgPtr effect_ref, PF_PlatDataID which, void* data);
  A_u_longlong (*host_get_handle_size)(PF_Handle pf_handle);
  PF_Err (*iterate_origin_non_clip_src)(struct PF_InData* in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld* src, PF_Rect const* area,
                                        PF_Point const* origin, void* refcon, PF_IteratePixel8Func pix_fn,
                                        PF_EffectWorld* dst);
  PF_Err (*iterate_generic)(A_long iterations, void* refcon, PF_IterateGenericFunc fn_func);
  PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle* handle);
  PF_Err (*subpixel_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, PF_SampPB const* params,
                              PF_Pixel16* dst);
  PF_Err (*area_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, PF_SampPB const* params,
                          PF_Pixel16* dst);
  PF_Err (*fill16)(PF_ProgPtr effect_ref, PF_Pixel16 const* color, PF_Rect const* dst_rect,
                   PF_EffectWorld* world);
  PF_Err (*premultiply_color16)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_Pixel16 const* color,
                                A_long forward, PF_EffectWorld* dst);
  PF_Err (*iterate16)(struct PF_InData* in_data, A_long progress_base, A_long progress_final,
                      PF_EffectWorld* src, PF_Rect const* area, void* refcon, PF_IteratePixel16Func pix_fn,
                      PF_EffectWorld* dst);
  PF_Err (*iterate_origin16)(struct PF_InData* in_data, A_long progress_base, A_long progress_final,
                             PF_EffectWorld* src, PF_Rect const* area, PF_Point const* origin, void* refcon,
                             PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_origin_non_clip_src16)(struct PF_InData* in_data, A_long progress_base,
                                          A_long progress_final, PF_EffectWorld* src, PF_Rect const* area,
                                          PF_Point const* origin, void* refcon, PF_IteratePixel16Func pix_fn,
                                          PF_EffectWorld* dst);
  PF_Err (*get_pixel_data8)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel8** pixPP);
  PF_Err (*get_pixel_data16)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel16** pixPP);
  A_long reserved[1];
};
typedef struct _PF_UtilCallbacks PF_UtilCallbacks;

struct SPBasicSuite;

// The command records.
struct PF_InData {
  PF_InteractCallbacks inter;
  struct _PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  PF_Quality quality;
  PF_SpecVersion version;
  A_long serial_num;
  A_AppID appl_id;
  A_long num_params;
  A_long reserved;
  A_long what_cpu;
  A_long what_fpu;
  A_long current_time;
  A_long time_step;
  A_long total_time;
  A_long local_time_step;
  A_u_long time_scale;
  PF_Field field;
  PF_Fixed shutter_angle;
  A_long width;
  A_long height;
  PF_Rect extent_hint;
  A_long output_origin_x;
  A_long output_origin_y;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  PF_InFlags in_flags;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  A_long start_sampL;
  A_long dur_sampL;
  A_long total_sampL;
  PF_SoundWorld src_snd;
  struct SPBasicSuite* pica_basicP;
  A_long pre_effect_source_origin_x;
  A_long pre_effect_source_origin_y;
  PF_Fixed shutter_phase;
};

struct PF_OutData {
  A_u_long my_version;
  A_char name[32];
  PF_Handle global_data;
  A_long num_params;
  PF_Handle sequence_data;
  A_long flat_sdata_size;
  PF_Handle frame_data;
  A_long width;
  A_long height;
  PF_Point origin;
  PF_OutFlags out_flags;
  A_char return_msg[256];
  A_long start_sampL;
  A_long dur_sampL;
  PF_SoundWorld dest_snd;
  PF_OutFlags2 out_flags2;
};

// Smart render: pre-render.
struct PF_RenderRequest {
  PF_LRect rect;
  PF_Field field;
  PF_ChannelMask channel_mask;
  PF_Boolean preserve_rgb_of_zero_alpha;
  char unused[3];
  A_long reserved[4];
};

struct PF_CheckoutResult {
  PF_LRect result_rect;
  PF_LRect max_result_rect;
  PF_RationalScale par;
  PF_Boolean solid;
  PF_Boolean reservedB[3];
  A_long ref_width;
  A_long ref_height;
  A_long reserved[6];
};

struct PF_PreRenderInput {
  PF_RenderRequest output_request;
  short bitdepth;
  void const* gpu_data;
  PF_GPU_Framework what_gpu;
  A_u_long device_index;
};

struct PF_PreRenderOutput {
  PF_LRect result_rect;
  PF_LRect max_result_rect;
  PF_Boolean solid;
  PF_Boolean reserved;
  PF_RenderOutputFlags flags;
  void* pre_render_data;
  PF_DeletePreRenderDataFunc delete_pre_render_data_func;
};

struct PF_PreRenderCallbacks {
  PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                           PF_RenderRequest const* req, A_long what_time, A_long time_step,
                           A_u_long time_scale, PF_CheckoutResult* checkout_result);
  PF_Err (*GuidMixInPtr)(PF_ProgPtr effect_ref, A_u_long buf_sizeLu, void const* buf);
};

struct PF_PreRenderExtra {
  PF_PreRenderInput* input;
  PF_PreRenderOutput* output;
  PF_PreRenderCallbacks* cb;
};

// Smart render: render.
struct PF_SmartRenderInput {
  PF_RenderRequest output_request;
  short bitdepth;
  void* pre_render_data;
  void const* gpu_data;
  PF_GPU_Framework what_gpu;
  A_u_long device_index;
};

struct PF_SmartRenderCallbacks {
  PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL, PF_EffectWorld** pixels);
  PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
  PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
};

struct PF_SmartRenderExtra {
  PF_SmartRenderInput* input;
  PF_SmartRenderCallbacks* cb;
};

// Suites.
struct SPBasicSuite {
  SPErr (*AcquireSuite)(char const* name, int32_t version, void const** suite);
  SPErr (*ReleaseSuite)(char const* name, int32_t version);
  SPBoolean (*IsEqual)(char const* token1, char const* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t new_size, void** new_block);
  SPErr (*Undefined)(void);
};

struct PF_Iterate8Suite1 {
  PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                    PF_Rect const* area, void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_origin)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld* src, PF_Rect const* area, PF_Point const* origin, void* refcon,
                           PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_lut)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                        PF_Rect const* area, A_u_char* a_lut0, A_u_char* r_lut0, A_u_char* g_lut0,
                        A_u_char* b_lut0, PF_EffectWorld* dst);
  PF_Err (*iterate_origin_non_clip_src)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                        PF_EffectWorld* src, PF_Rect const* area, PF_Point const* origin,
                                        void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_generic)(A_long iterations, void* refcon, PF_IterateGenericFunc fn_func);
};

struct PF_WorldSuite2 {
  PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear_pix,
                        PF_PixelFormat pixel_format, PF_EffectWorld* world);
  PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  PF_Err (*PF_GetPixelFormat)(PF_EffectWorld const* world, PF_PixelFormat* pixel_format);
};

struct PF_PixelFormatSuite1 {
  PF_Err (*AddSupportedPixelFormat)(PF_ProgPtr effect_ref, PrPixelFormat pixel_format);
  PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr effect_ref);
  PF_Err (*NewWorldOfPixelFormat)(PF_ProgPtr effect_ref, A_u_long width, A_u_long height,
                                  PF_NewWorldFlags flags, PrPixelFormat pixel_format, PF_EffectWorld* world);
  PF_Err (*DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  PF_Err (*GetPixelFormat)(PF_EffectWorld* world, PrPixelFormat* pixel_format);
  PF_Err (*GetBlackForPixelFormat)(PrPixelFormat pixel_format, void* pixel_data);
  PF_Err (*GetWhiteForPixelFormat)(PrPixelFormat pixel_format, void* pixel_data);
  PF_Err (*ConvertColorToPixelFormattedData)(PrPixelFormat pixel_format, float alpha, float red, float green,
                                             float blue, void* formatted_pixel);
};

struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(A_HandleSize size);
  void* (*host_lock_handle)(PF_Handle pf_handle);
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
  PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handle);
};

struct PF_ANSICallbacksSuite1 {
  A_FpLong (*atan)(A_FpLong);
  A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
  A_FpLong (*ceil)(A_FpLong);
  A_FpLong (*cos)(A_FpLong);
  A_FpLong (*exp)(A_FpLong);
  A_FpLong (*fabs)(A_FpLong);
  A_FpLong (*floor)(A_FpLong);
  A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
  A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
  A_FpLong (*log)(A_FpLong);
  A_FpLong (*log10)(A_FpLong);
  A_FpLong (*pow)(A_FpLong x, A_FpLong y);
  A_FpLong (*sin)(A_FpLong);
  A_FpLong (*sqrt)(A_FpLong);
  A_FpLong (*tan)(A_FpLong);
  int (*sprintf)(A_char* buffer, A_char const* format, ...);
  A_char* (*strcpy)(A_char* dest, A_char const* src);
  A_FpLong (*asin)(A_FpLong);
  A_FpLong (*acos)(A_FpLong);
};

// Entry points.
typedef A_Err (*PF_PluginDataCB)(PF_PluginDataPtr inPtr, A_u_char const* name, A_u_char const* matchName,
                                 A_u_char const* category, A_u_char const* entryPointName, A_long kind,
                                 A_long apiVersionMajor, A_long apiVersionMinor, A_long reservedInfo);
typedef PF_Err (*PF_EffectMainFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);
typedef PF_Err (*PF_PluginDataEntryFunc)(PF_PluginDataPtr inPtr, PF_PluginDataCB inPluginDataCallBackPtr,
                                         SPBasicSuite* inSPBasicSuitePtr, char const* inHostName,
                                         char const* inHostVersion);

}  // extern "C"

// Suite names and versions as the host publishes them.
inline constexpr char kPFHandleSuite[] = "PF Handle Suite";
inline constexpr int32_t kPFHandleSuiteVersion2 = 2;
inline constexpr char kPFANSISuite[] = "PF ANSI Suite";
inline constexpr int32_t kPFANSISuiteVersion1 = 1;
inline constexpr char kPFWorldSuite[] = "PF World Suite";
inline constexpr int32_t kPFWorldSuiteVersion2 = 2;
inline constexpr char kPFPixelFormatSuite[] = "PF Pixel Format Suite";
inline constexpr int32_t kPFPixelFormatSuiteVersion1 = 1;
inline constexpr char kPFIterate8Suite[] = "PF Iterate8 Suite";
inline constexpr int32_t kPFIterate8SuiteVersion1 = 1;

// Application ids found in in_data->appl_id ('FXTC', 'PrMr').
inline constexpr A_AppID kAppID_AfterEffects = 0x46585443;
inline constexpr A_AppID kAppID_PremierePro = 0x50724D72;

// Premiere Pro's pixel format codes beyond the After Effects ones.
inline constexpr PrPixelFormat PrPixelFormat_BGRA_4444_8u = 0x61726762;
inline constexpr PrPixelFormat PrPixelFormat_BGRA_4444_32f = 0x61724742;
inline constexpr PrPixelFormat PrPixelFormat_BGRA_4444_32f_Linear = 0x4C614742;

inline constexpr SPErr kSPNoError = 0;

// Host constants.
inline constexpr A_long PF_ParamIndex_NONE = -1;
inline constexpr A_long PF_ParamIndex_CHECK_ALL = -2;
inline constexpr A_long PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS = -3;
inline constexpr A_long PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE = -4;

inline constexpr A_long PF_Stage_DEVELOP = 0;
inline constexpr A_long PF_Stage_ALPHA = 1;
inline constexpr A_long PF_Stage_BETA = 2;
inline constexpr A_long PF_Stage_RELEASE = 3;

inline constexpr A_long PF_Quality_DRAWING_AUDIO = -1;
inline constexpr A_long PF_Quality_LO = 0;
inline constexpr A_long PF_Quality_HI = 1;

inline constexpr A_long PF_Field_FRAME = 0;
inline constexpr A_long PF_Field_UPPER = 1;
inline constexpr A_long PF_Field_LOWER = 2;

inline constexpr A_long PF_Param_RESERVED = -1;
inline constexpr A_long PF_Param_LAYER = 0;
inline constexpr A_long PF_Param_SLIDER = 1;
inline constexpr A_long PF_Param_FIX_SLIDER = 2;
inline constexpr A_long PF_Param_ANGLE = 3;
inline constexpr A_long PF_Param_CHECKBOX = 4;
inline constexpr A_long PF_Param_COLOR = 5;
inline constexpr A_long PF_Param_POINT = 6;
inline constexpr A_long PF_Param_POPUP = 7;
inline constexpr A_long PF_Param_CUSTOM = 8;
inline constexpr A_long PF_Param_NO_DATA = 9;
inline constexpr A_long PF_Param_FLOAT_SLIDER = 10;
inline constexpr A_long PF_Param_ARBITRARY_DATA = 11;
inline constexpr A_long PF_Param_PATH = 12;
inline constexpr A_long PF_Param_GROUP_START = 13;
inline constexpr A_long PF_Param_GROUP_END = 14;
inline constexpr A_long PF_Param_BUTTON = 15;
inline constexpr A_long PF_Param_RESERVED2 = 16;
inline constexpr A_long PF_Param_RESERVED3 = 17;
inline constexpr A_long PF_Param_POINT_3D = 18;

inline constexpr A_long PF_Precision_INTEGER = 0;
inline constexpr A_long PF_Precision_TENTHS = 1;
inline constexpr A_long PF_Precision_HUNDREDTHS = 2;
inline constexpr A_long PF_Precision_THOUSANDTHS = 3;
inline constexpr A_long PF_Precision_TEN_THOUSANDTHS = 4;

inline constexpr A_long PF_ParamFlag_NONE = 0;
inline constexpr A_long PF_ParamFlag_RESERVED1 = 1;
inline constexpr A_long PF_ParamFlag_CANNOT_TIME_VARY = 2;
inline constexpr A_long PF_ParamFlag_CANNOT_INTERP = 4;
inline constexpr A_long PF_ParamFlag_RESERVED2 = 8;
inline constexpr A_long PF_ParamFlag_RESERVED3 = 16;
inline constexpr A_long PF_ParamFlag_COLLAPSE_TWIRLY = 32;
inline constexpr A_long PF_ParamFlag_SUPERVISE = 64;
inline constexpr A_long PF_ParamFlag_START_COLLAPSED = 32;
inline constexpr A_long PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS = 128;
inline constexpr A_long PF_ParamFlag_LAYER_PARAM_IS_TRACKMATTE = 128;
inline constexpr A_long PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED = 256;
inline constexpr A_long PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN = 512;
inline constexpr A_long PF_ParamFlag_unused1 = 1024;
inline constexpr A_long PF_ParamFlag_RESERVED4 = 2048;

inline constexpr A_long PF_ParamFlags_ALL = -1;

inline constexpr A_long PF_Err_NONE = 0;
inline constexpr A_long PF_Err_OUT_OF_MEMORY = 4;
inline constexpr A_long PF_Err_INTERNAL_STRUCT_DAMAGED = 512;
inline constexpr A_long PF_Err_INVALID_INDEX = 513;
inline constexpr A_long PF_Err_UNRECOGNIZED_PARAM_TYPE = 514;
inline constexpr A_long PF_Err_INVALID_CALLBACK = 515;
inline constexpr A_long PF_Err_BAD_CALLBACK_PARAM = 516;

inline constexpr A_long PF_Interrupt_CANCEL = 517;

inline constexpr A_long PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518;

inline constexpr A_long PF_OutFlag_NONE = 0;
inline constexpr A_long PF_OutFlag_KEEP_RESOURCE_OPEN = 1;
inline constexpr A_long PF_OutFlag_WIDE_TIME_INPUT = 2;
inline constexpr A_long PF_OutFlag_NON_PARAM_VARY = 4;
inline constexpr A_long PF_OutFlag_RESERVED6 = 8;
inline constexpr A_long PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 16;
inline constexpr A_long PF_OutFlag_I_DO_DIALOG = 32;
inline constexpr A_long PF_OutFlag_USE_OUTPUT_EXTENT = 64;
inline constexpr A_long PF_OutFlag_SEND_DO_DIALOG = 128;
inline constexpr A_long PF_OutFlag_DISPLAY_ERROR_MESSAGE = 256;
inline constexpr A_long PF_OutFlag_I_EXPAND_BUFFER = 512;
inline constexpr A_long PF_OutFlag_PIX_INDEPENDENT = 1024;
inline constexpr A_long PF_OutFlag_I_WRITE_INPUT_BUFFER = 2048;
inline constexpr A_long PF_OutFlag_I_SHRINK_BUFFER = 4096;
inline constexpr A_long PF_OutFlag_WORKS_IN_PLACE = 8192;
inline constexpr A_long PF_OutFlag_RESERVED8 = 16384;
inline constexpr A_long PF_OutFlag_CUSTOM_UI = 32768;
inline constexpr A_long PF_OutFlag_RESERVED7 = 65536;
inline constexpr A_long PF_OutFlag_REFRESH_UI = 131072;
inline constexpr A_long PF_OutFlag_NOP_RENDER = 262144;
inline constexpr A_long PF_OutFlag_I_USE_SHUTTER_ANGLE = 524288;
inline constexpr A_long PF_OutFlag_I_USE_AUDIO = 1048576;
inline constexpr A_long PF_OutFlag_I_AM_OBSOLETE = 2097152;
inline constexpr A_long PF_OutFlag_FORCE_RERENDER = 4194304;
inline constexpr A_long PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 8388608;
inline constexpr A_long PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 16777216;
inline constexpr A_long PF_OutFlag_DEEP_COLOR_AWARE = 33554432;
inline constexpr A_long PF_OutFlag_SEND_UPDATE_PARAMS_UI = 67108864;
inline constexpr A_long PF_OutFlag_AUDIO_FLOAT_ONLY = 134217728;
inline constexpr A_long PF_OutFlag_AUDIO_IIR = 268435456;
inline constexpr A_long PF_OutFlag_I_SYNTHESIZE_AUDIO = 536870912;
inline constexpr A_long PF_OutFlag_AUDIO_EFFECT_TOO = 1073741824;
inline constexpr A_long PF_OutFlag_AUDIO_EFFECT_ONLY = INT32_MIN;

inline constexpr A_long PF_OutFlag2_NONE = 0;
inline constexpr A_long PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS = 1;
inline constexpr A_long PF_OutFlag2_I_USE_3D_CAMERA = 2;
inline constexpr A_long PF_OutFlag2_I_USE_3D_LIGHTS = 4;
inline constexpr A_long PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 8;
inline constexpr A_long PF_OutFlag2_I_AM_THREADSAFE = 16;
inline constexpr A_long PF_OutFlag2_CAN_COMBINE_WITH_DESTINATION = 32;
inline constexpr A_long PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS = 64;
inline constexpr A_long PF_OutFlag2_REVEALS_ZERO_ALPHA = 128;
inline constexpr A_long PF_OutFlag2_PRESERVES_FULLY_OPAQUE_PIXELS = 256;
inline constexpr A_long PF_OutFlag2_SUPPORTS_SMART_RENDER = 1024;
inline constexpr A_long PF_OutFlag2_RESERVED9 = 2048;
inline constexpr A_long PF_OutFlag2_FLOAT_COLOR_AWARE = 4096;
inline constexpr A_long PF_OutFlag2_I_USE_COLORSPACE_ENUMERATION = 8192;
inline constexpr A_long PF_OutFlag2_I_AM_DEPRECATED = 16384;
inline constexpr A_long PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER = 32768;
inline constexpr A_long PF_OutFlag2_RESERVED10 = 65536;
inline constexpr A_long PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT = 131072;
inline constexpr A_long PF_OutFlag2_I_USE_TIMECODE = 262144;
inline constexpr A_long PF_OutFlag2_DEPENDS_ON_UNREFERENCED_MASKS = 524288;
inline constexpr A_long PF_OutFlag2_OUTPUT_IS_WATERMARKED = 1048576;
inline constexpr A_long PF_OutFlag2_I_MIX_GUID_DEPENDENCIES = 2097152;
inline constexpr A_long PF_OutFlag2_AE13_5_THREADSAFE = 4194304;
inline constexpr A_long PF_OutFlag2_SUPPORTS_GET_FLATTENED_SEQUENCE_DATA = 8388608;
inline constexpr A_long PF_OutFlag2_CUSTOM_UI_ASYNC_MANAGER = 16777216;
inline constexpr A_long PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 = 33554432;
inline constexpr A_long PF_OutFlag2_RESERVED12 = 67108864;
inline constexpr A_long PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 134217728;
inline constexpr A_long PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER = 268435456;
inline constexpr A_long PF_OutFlag2_SUPPORTS_DIRECTX_RENDERING = 536870912;

inline constexpr A_long PF_Cmd_ABOUT = 0;
inline constexpr A_long PF_Cmd_GLOBAL_SETUP = 1;
inline constexpr A_long PF_Cmd_UNUSED_0 = 2;
inline constexpr A_long PF_Cmd_GLOBAL_SETDOWN = 3;
inline constexpr A_long PF_Cmd_PARAMS_SETUP = 4;
inline constexpr A_long PF_Cmd_SEQUENCE_SETUP = 5;
inline constexpr A_long PF_Cmd_SEQUENCE_RESETUP = 6;
inline constexpr A_long PF_Cmd_SEQUENCE_FLATTEN = 7;
inline constexpr A_long PF_Cmd_SEQUENCE_SETDOWN = 8;
inline constexpr A_long PF_Cmd_DO_DIALOG = 9;
inline constexpr A_long PF_Cmd_FRAME_SETUP = 10;
inline constexpr A_long PF_Cmd_RENDER = 11;
inline constexpr A_long PF_Cmd_FRAME_SETDOWN = 12;
inline constexpr A_long PF_Cmd_USER_CHANGED_PARAM = 13;
inline constexpr A_long PF_Cmd_UPDATE_PARAMS_UI = 14;
inline constexpr A_long PF_Cmd_EVENT = 15;
inline constexpr A_long PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16;
inline constexpr A_long PF_Cmd_COMPLETELY_GENERAL = 17;
inline constexpr A_long PF_Cmd_QUERY_DYNAMIC_FLAGS = 18;
inline constexpr A_long PF_Cmd_AUDIO_RENDER = 19;
inline constexpr A_long PF_Cmd_AUDIO_SETUP = 20;
inline constexpr A_long PF_Cmd_AUDIO_SETDOWN = 21;
inline constexpr A_long PF_Cmd_ARBITRARY_CALLBACK = 22;
inline constexpr A_long PF_Cmd_SMART_PRE_RENDER = 23;
inline constexpr A_long PF_Cmd_SMART_RENDER = 24;
inline constexpr A_long PF_Cmd_RESERVED1 = 25;
inline constexpr A_long PF_Cmd_RESERVED2 = 26;
inline constexpr A_long PF_Cmd_RESERVED3 = 27;
inline constexpr A_long PF_Cmd_GET_FLATTENED_SEQUENCE_DATA = 28;
inline constexpr A_long PF_Cmd_TRANSLATE_PARAMS_TO_PREFS = 29;
inline constexpr A_long PF_Cmd_RESERVED4 = 30;
inline constexpr A_long PF_Cmd_SMART_RENDER_GPU = 31;
inline constexpr A_long PF_Cmd_GPU_DEVICE_SETUP = 32;
inline constexpr A_long PF_Cmd_GPU_DEVICE_SETDOWN = 33;
inline constexpr A_long PF_Cmd_NUM_CMDS = 34;

inline constexpr A_long PF_ValueDisplayFlag_NONE = 0;
inline constexpr A_long PF_ValueDisplayFlag_PERCENT = 1;
inline constexpr A_long PF_ValueDisplayFlag_PIXEL = 2;
inline constexpr A_long PF_ValueDisplayFlag_RESERVED1 = 4;
inline constexpr A_long PF_ValueDisplayFlag_REVERSE = 8;

inline constexpr A_long PF_FSliderFlag_NONE = 0;
inline constexpr A_long PF_FSliderFlag_WANT_PHASE = 1;

inline constexpr A_long PF_PUI_NONE = 0;
inline constexpr A_long PF_PUI_TOPIC = 1;
inline constexpr A_long PF_PUI_CONTROL = 2;
inline constexpr A_long PF_PUI_STD_CONTROL_ONLY = 4;
inline constexpr A_long PF_PUI_NO_ECW_UI = 8;
inline constexpr A_long PF_PUI_ECW_SEPARATOR = 16;
inline constexpr A_long PF_PUI_DISABLED = 32;
inline constexpr A_long PF_PUI_DONT_ERASE_TOPIC = 64;
inline constexpr A_long PF_PUI_DONT_ERASE_CONTROL = 128;
inline constexpr A_long PF_PUI_RADIO_BUTTON = 256;
inline constexpr A_long PF_PUI_INVISIBLE = 512;
inline constexpr A_long PF_PUI_RESERVED = 1024;

inline constexpr A_long PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 1;
inline constexpr A_long PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 2;
inline constexpr A_long PF_RenderOutputFlag_RESERVED1 = 4;

inline constexpr A_long PF_NewWorldFlag_NONE = 0;
inline constexpr A_long PF_NewWorldFlag_CLEAR_PIXELS = 1;
inline constexpr A_long PF_NewWorldFlag_DEEP_PIXELS = 2;
inline constexpr A_long PF_NewWorldFlag_RESERVED0 = 4;
inline constexpr A_long PF_NewWorldFlag_RESERVED1 = 8;

inline constexpr A_long PF_PixelFormat_ARGB32 = 0x62677261;       // "argb" in memory
inline constexpr A_long PF_PixelFormat_ARGB64 = 0x36316561;       // "ae16" in memory
inline constexpr A_long PF_PixelFormat_ARGB128 = 0x32336561;      // "ae32" in memory
inline constexpr A_long PF_PixelFormat_GPU_BGRA128 = 0x41444340;  // "@CDA" in memory
inline constexpr A_long PF_PixelFormat_RESERVED = 0x61444340;     // "@CDa" in memory
inline constexpr A_long PF_PixelFormat_BGRA32 = 0x61726762;       // "bgra" in memory
inline constexpr A_long PF_PixelFormat_VUYA32 = 0x61797576;       // "vuya" in memory
inline constexpr A_long PF_PixelFormat_NTSCDV25 = 0x326E7664;     // "dvn2" in memory
inline constexpr A_long PF_PixelFormat_PALDV25 = 0x32707664;      // "dvp2" in memory
inline constexpr A_long PF_PixelFormat_INVALID = 0x66646162;      // "badf" in memory
inline constexpr A_long PF_PixelFormat_FORCE_LONG_INT = -1;

// Layout checks: every record's size and the offset of every field that the
// plug-in or the stand-in host touches.
#define ZF_CHECK_OFFSET(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "::" #field)

static_assert(sizeof(void*) == 8, "64-bit targets only");

static_assert(sizeof(PF_LRect) == 16, "PF_LRect");
static_assert(sizeof(PF_Point) == 8, "PF_Point");
static_assert(sizeof(PF_RationalScale) == 8, "PF_RationalScale");
static_assert(sizeof(PF_SpecVersion) == 4, "PF_SpecVersion");
static_assert(sizeof(PF_Pixel) == 4, "PF_Pixel");
static_assert(sizeof(PF_Pixel16) == 8, "PF_Pixel16");
static_assert(sizeof(PF_PixelFloat) == 16, "PF_PixelFloat");
static_assert(sizeof(PF_SoundWorld) == 32, "PF_SoundWorld");
ZF_CHECK_OFFSET(PF_LRect, left, 0);
ZF_CHECK_OFFSET(PF_LRect, top, 4);
ZF_CHECK_OFFSET(PF_LRect, right, 8);
ZF_CHECK_OFFSET(PF_LRect, bottom, 12);
ZF_CHECK_OFFSET(PF_Point, h, 0);
ZF_CHECK_OFFSET(PF_Point, v, 4);
ZF_CHECK_OFFSET(PF_RationalScale, num, 0);
ZF_CHECK_OFFSET(PF_RationalScale, den, 4);
ZF_CHECK_OFFSET(PF_Pixel, alpha, 0);
ZF_CHECK_OFFSET(PF_Pixel, red, 1);
ZF_CHECK_OFFSET(PF_Pixel, green, 2);
ZF_CHECK_OFFSET(PF_Pixel, blue, 3);
ZF_CHECK_OFFSET(PF_Pixel16, alpha, 0);
ZF_CHECK_OFFSET(PF_Pixel16, red, 2);
ZF_CHECK_OFFSET(PF_Pixel16, green, 4);
ZF_CHECK_OFFSET(PF_Pixel16, blue, 6);
ZF_CHECK_OFFSET(PF_PixelFloat, alpha, 0);
ZF_CHECK_OFFSET(PF_PixelFloat, red, 4);
ZF_CHECK_OFFSET(PF_PixelFloat, green, 8);
ZF_CHECK_OFFSET(PF_PixelFloat, blue, 12);
ZF_CHECK_OFFSET(PF_SoundWorld, num_samples, 16);
ZF_CHECK_OFFSET(PF_SoundWorld, dataP, 24);

static_assert(sizeof(PF_LayerDef) == 120, "PF_LayerDef");
ZF_CHECK_OFFSET(PF_LayerDef, world_flags, 16);
ZF_CHECK_OFFSET(PF_LayerDef, data, 24);
ZF_CHECK_OFFSET(PF_LayerDef, rowbytes, 32);
ZF_CHECK_OFFSET(PF_LayerDef, width, 36);
ZF_CHECK_OFFSET(PF_LayerDef, height, 40);
ZF_CHECK_OFFSET(PF_LayerDef, extent_hint, 44);
ZF_CHECK_OFFSET(PF_LayerDef, platform_ref, 64);
ZF_CHECK_OFFSET(PF_LayerDef, reserved_long1, 72);
ZF_CHECK_OFFSET(PF_LayerDef, reserved_long4, 80);
ZF_CHECK_OFFSET(PF_LayerDef, pix_aspect_ratio, 88);
ZF_CHECK_OFFSET(PF_LayerDef, reserved_long2, 96);
ZF_CHECK_OFFSET(PF_LayerDef, origin_x, 104);
ZF_CHECK_OFFSET(PF_LayerDef, origin_y, 108);
ZF_CHECK_OFFSET(PF_LayerDef, reserved_long3, 112);
ZF_CHECK_OFFSET(PF_LayerDef, dephault, 116);

static_assert(sizeof(PF_PointDef) == 20, "PF_PointDef");
ZF_CHECK_OFFSET(PF_PointDef, x_value, 0);
ZF_CHECK_OFFSET(PF_PointDef, y_value, 4);
ZF_CHECK_OFFSET(PF_PointDef, reserved, 8);
ZF_CHECK_OFFSET(PF_PointDef, restrict_bounds, 11);
ZF_CHECK_OFFSET(PF_PointDef, x_dephault, 12);
ZF_CHECK_OFFSET(PF_PointDef, y_dephault, 16);
static_assert(sizeof(PF_PopupDef) == 16, "PF_PopupDef");
ZF_CHECK_OFFSET(PF_PopupDef, value, 0);
ZF_CHECK_OFFSET(PF_PopupDef, num_choices, 4);
ZF_CHECK_OFFSET(PF_PopupDef, dephault, 6);
ZF_CHECK_OFFSET(PF_PopupDef, u.namesptr, 8);
static_assert(sizeof(PF_FloatSliderDef) == 88, "PF_FloatSliderDef");
ZF_CHECK_OFFSET(PF_FloatSliderDef, value, 0);
ZF_CHECK_OFFSET(PF_FloatSliderDef, phase, 8);
ZF_CHECK_OFFSET(PF_FloatSliderDef, value_desc, 16);
ZF_CHECK_OFFSET(PF_FloatSliderDef, valid_min, 48);
ZF_CHECK_OFFSET(PF_FloatSliderDef, valid_max, 52);
ZF_CHECK_OFFSET(PF_FloatSliderDef, slider_min, 56);
ZF_CHECK_OFFSET(PF_FloatSliderDef, slider_max, 60);
ZF_CHECK_OFFSET(PF_FloatSliderDef, dephault, 64);
ZF_CHECK_OFFSET(PF_FloatSliderDef, precision, 68);
ZF_CHECK_OFFSET(PF_FloatSliderDef, display_flags, 70);
ZF_CHECK_OFFSET(PF_FloatSliderDef, fs_flags, 72);
ZF_CHECK_OFFSET(PF_FloatSliderDef, curve_tolerance, 76);
ZF_CHECK_OFFSET(PF_FloatSliderDef, useExponent, 80);
ZF_CHECK_OFFSET(PF_FloatSliderDef, exponent, 84);
static_assert(sizeof(PF_ParamDefUnion) == 120, "PF_ParamDefUnion");
ZF_CHECK_OFFSET(PF_ParamDefUnion, ld, 0);
ZF_CHECK_OFFSET(PF_ParamDefUnion, td, 0);
ZF_CHECK_OFFSET(PF_ParamDefUnion, pd, 0);
ZF_CHECK_OFFSET(PF_ParamDefUnion, fs_d, 0);
static_assert(sizeof(PF_ParamDef) == 176, "PF_ParamDef");
static_assert(sizeof(PF_ParamDef::uu) == 4, "PF_ParamDef::uu");
ZF_CHECK_OFFSET(PF_ParamDef, uu, 0);
ZF_CHECK_OFFSET(PF_ParamDef, ui_flags, 4);
ZF_CHECK_OFFSET(PF_ParamDef, ui_width, 8);
ZF_CHECK_OFFSET(PF_ParamDef, ui_height, 10);
ZF_CHECK_OFFSET(PF_ParamDef, param_type, 12);
ZF_CHECK_OFFSET(PF_ParamDef, name, 16);
ZF_CHECK_OFFSET(PF_ParamDef, flags, 48);
ZF_CHECK_OFFSET(PF_ParamDef, unused, 52);
ZF_CHECK_OFFSET(PF_ParamDef, u, 56);

static_assert(sizeof(PF_InteractCallbacks) == 176, "PF_InteractCallbacks");
ZF_CHECK_OFFSET(PF_InteractCallbacks, checkout_param, 0);
ZF_CHECK_OFFSET(PF_InteractCallbacks, checkin_param, 8);
ZF_CHECK_OFFSET(PF_InteractCallbacks, add_param, 16);
ZF_CHECK_OFFSET(PF_InteractCallbacks, abort, 24);
ZF_CHECK_OFFSET(PF_InteractCallbacks, progress, 32);
ZF_CHECK_OFFSET(PF_InteractCallbacks, register_ui, 40);
ZF_CHECK_OFFSET(PF_InteractCallbacks, checkout_layer_audio, 48);
ZF_CHECK_OFFSET(PF_InteractCallbacks, checkin_layer_audio, 56);
ZF_CHECK_OFFSET(PF_InteractCallbacks, get_audio_data, 64);
ZF_CHECK_OFFSET(PF_InteractCallbacks, reserved_str, 72);
ZF_CHECK_OFFSET(PF_InteractCallbacks, reserved, 96);

static_assert(sizeof(PF_ANSICallbacksBlock) == 160, "PF_ANSICallbacksBlock");
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, atan, 0);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, tan, 112);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, sprintf, 120);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, strcpy, 128);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, asin, 136);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, acos, 144);
ZF_CHECK_OFFSET(PF_ANSICallbacksBlock, unused_longA, 152);
static_assert(sizeof(PF_ColorCallbacks) == 64, "PF_ColorCallbacks");
ZF_CHECK_OFFSET(PF_ColorCallbacks, Saturation, 56);

static_assert(sizeof(_PF_UtilCallbacks) == 552, "_PF_UtilCallbacks");
ZF_CHECK_OFFSET(_PF_UtilCallbacks, begin_sampling, 0);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, get_batch_func_is_deprecated, 24);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, iterate, 88);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, new_world, 112);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, dispose_world, 120);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, iterate_origin, 128);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, transform_world, 152);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_new_handle, 160);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_lock_handle, 168);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_unlock_handle, 176);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_dispose_handle, 184);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, get_callback_addr, 192);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, app, 200);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, ansi, 208);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, colorCB, 368);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, get_platform_data, 432);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_get_handle_size, 440);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, iterate_origin_non_clip_src, 448);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, iterate_generic, 456);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, host_resize_handle, 464);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, subpixel_sample16, 472);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, iterate16, 504);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, get_pixel_data8, 528);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, get_pixel_data16, 536);
ZF_CHECK_OFFSET(_PF_UtilCallbacks, reserved, 544);

static_assert(sizeof(PF_InData) == 408, "PF_InData");
ZF_CHECK_OFFSET(PF_InData, inter, 0);
ZF_CHECK_OFFSET(PF_InData, utils, 176);
ZF_CHECK_OFFSET(PF_InData, effect_ref, 184);
ZF_CHECK_OFFSET(PF_InData, quality, 192);
ZF_CHECK_OFFSET(PF_InData, version, 196);
ZF_CHECK_OFFSET(PF_InData, serial_num, 200);
ZF_CHECK_OFFSET(PF_InData, appl_id, 204);
ZF_CHECK_OFFSET(PF_InData, num_params, 208);
ZF_CHECK_OFFSET(PF_InData, what_cpu, 216);
ZF_CHECK_OFFSET(PF_InData, current_time, 224);
ZF_CHECK_OFFSET(PF_InData, time_step, 228);
ZF_CHECK_OFFSET(PF_InData, total_time, 232);
ZF_CHECK_OFFSET(PF_InData, local_time_step, 236);
ZF_CHECK_OFFSET(PF_InData, time_scale, 240);
ZF_CHECK_OFFSET(PF_InData, field, 244);
ZF_CHECK_OFFSET(PF_InData, shutter_angle, 248);
ZF_CHECK_OFFSET(PF_InData, width, 252);
ZF_CHECK_OFFSET(PF_InData, height, 256);
ZF_CHECK_OFFSET(PF_InData, extent_hint, 260);
ZF_CHECK_OFFSET(PF_InData, output_origin_x, 276);
ZF_CHECK_OFFSET(PF_InData, output_origin_y, 280);
ZF_CHECK_OFFSET(PF_InData, downsample_x, 284);
ZF_CHECK_OFFSET(PF_InData, downsample_y, 292);
ZF_CHECK_OFFSET(PF_InData, pixel_aspect_ratio, 300);
ZF_CHECK_OFFSET(PF_InData, in_flags, 308);
ZF_CHECK_OFFSET(PF_InData, global_data, 312);
ZF_CHECK_OFFSET(PF_InData, sequence_data, 320);
ZF_CHECK_OFFSET(PF_InData, frame_data, 328);
ZF_CHECK_OFFSET(PF_InData, start_sampL, 336);
ZF_CHECK_OFFSET(PF_InData, total_sampL, 344);
ZF_CHECK_OFFSET(PF_InData, src_snd, 352);
ZF_CHECK_OFFSET(PF_InData, pica_basicP, 384);
ZF_CHECK_OFFSET(PF_InData, pre_effect_source_origin_x, 392);
ZF_CHECK_OFFSET(PF_InData, pre_effect_source_origin_y, 396);
ZF_CHECK_OFFSET(PF_InData, shutter_phase, 400);

static_assert(sizeof(PF_OutData) == 408, "PF_OutData");
ZF_CHECK_OFFSET(PF_OutData, my_version, 0);
ZF_CHECK_OFFSET(PF_OutData, name, 4);
ZF_CHECK_OFFSET(PF_OutData, global_data, 40);
ZF_CHECK_OFFSET(PF_OutData, num_params, 48);
ZF_CHECK_OFFSET(PF_OutData, sequence_data, 56);
ZF_CHECK_OFFSET(PF_OutData, flat_sdata_size, 64);
ZF_CHECK_OFFSET(PF_OutData, frame_data, 72);
ZF_CHECK_OFFSET(PF_OutData, width, 80);
ZF_CHECK_OFFSET(PF_OutData, height, 84);
ZF_CHECK_OFFSET(PF_OutData, origin, 88);
ZF_CHECK_OFFSET(PF_OutData, out_flags, 96);
ZF_CHECK_OFFSET(PF_OutData, return_msg, 100);
ZF_CHECK_OFFSET(PF_OutData, start_sampL, 356);
ZF_CHECK_OFFSET(PF_OutData, dur_sampL, 360);
ZF_CHECK_OFFSET(PF_OutData, dest_snd, 368);
ZF_CHECK_OFFSET(PF_OutData, out_flags2, 400);

static_assert(sizeof(PF_RenderRequest) == 44, "PF_RenderRequest");
ZF_CHECK_OFFSET(PF_RenderRequest, rect, 0);
ZF_CHECK_OFFSET(PF_RenderRequest, field, 16);
ZF_CHECK_OFFSET(PF_RenderRequest, channel_mask, 20);
ZF_CHECK_OFFSET(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24);
ZF_CHECK_OFFSET(PF_RenderRequest, unused, 25);
ZF_CHECK_OFFSET(PF_RenderRequest, reserved, 28);
static_assert(sizeof(PF_CheckoutResult) == 76, "PF_CheckoutResult");
ZF_CHECK_OFFSET(PF_CheckoutResult, result_rect, 0);
ZF_CHECK_OFFSET(PF_CheckoutResult, max_result_rect, 16);
ZF_CHECK_OFFSET(PF_CheckoutResult, par, 32);
ZF_CHECK_OFFSET(PF_CheckoutResult, solid, 40);
ZF_CHECK_OFFSET(PF_CheckoutResult, reservedB, 41);
ZF_CHECK_OFFSET(PF_CheckoutResult, ref_width, 44);
ZF_CHECK_OFFSET(PF_CheckoutResult, ref_height, 48);
ZF_CHECK_OFFSET(PF_CheckoutResult, reserved, 52);
static_assert(sizeof(PF_PreRenderInput) == 64, "PF_PreRenderInput");
ZF_CHECK_OFFSET(PF_PreRenderInput, output_request, 0);
ZF_CHECK_OFFSET(PF_PreRenderInput, bitdepth, 44);
ZF_CHECK_OFFSET(PF_PreRenderInput, gpu_data, 48);
ZF_CHECK_OFFSET(PF_PreRenderInput, what_gpu, 56);
ZF_CHECK_OFFSET(PF_PreRenderInput, device_index, 60);
static_assert(sizeof(PF_PreRenderOutput) == 56, "PF_PreRenderOutput");
ZF_CHECK_OFFSET(PF_PreRenderOutput, result_rect, 0);
ZF_CHECK_OFFSET(PF_PreRenderOutput, max_result_rect, 16);
ZF_CHECK_OFFSET(PF_PreRenderOutput, solid, 32);
ZF_CHECK_OFFSET(PF_PreRenderOutput, reserved, 33);
ZF_CHECK_OFFSET(PF_PreRenderOutput, flags, 34);
ZF_CHECK_OFFSET(PF_PreRenderOutput, pre_render_data, 40);
ZF_CHECK_OFFSET(PF_PreRenderOutput, delete_pre_render_data_func, 48);
static_assert(sizeof(PF_PreRenderCallbacks) == 16, "PF_PreRenderCallbacks");
ZF_CHECK_OFFSET(PF_PreRenderCallbacks, checkout_layer, 0);
ZF_CHECK_OFFSET(PF_PreRenderCallbacks, GuidMixInPtr, 8);
static_assert(sizeof(PF_PreRenderExtra) == 24, "PF_PreRenderExtra");
ZF_CHECK_OFFSET(PF_PreRenderExtra, input, 0);
ZF_CHECK_OFFSET(PF_PreRenderExtra, output, 8);
ZF_CHECK_OFFSET(PF_PreRenderExtra, cb, 16);
static_assert(sizeof(PF_SmartRenderInput) == 72, "PF_SmartRenderInput");
ZF_CHECK_OFFSET(PF_SmartRenderInput, output_request, 0);
ZF_CHECK_OFFSET(PF_SmartRenderInput, bitdepth, 44);
ZF_CHECK_OFFSET(PF_SmartRenderInput, pre_render_data, 48);
ZF_CHECK_OFFSET(PF_SmartRenderInput, gpu_data, 56);
ZF_CHECK_OFFSET(PF_SmartRenderInput, what_gpu, 64);
ZF_CHECK_OFFSET(PF_SmartRenderInput, device_index, 68);
static_assert(sizeof(PF_SmartRenderCallbacks) == 24, "PF_SmartRenderCallbacks");
ZF_CHECK_OFFSET(PF_SmartRenderCallbacks, checkout_layer_pixels, 0);
ZF_CHECK_OFFSET(PF_SmartRenderCallbacks, checkin_layer_pixels, 8);
ZF_CHECK_OFFSET(PF_SmartRenderCallbacks, checkout_output, 16);
static_assert(sizeof(PF_SmartRenderExtra) == 16, "PF_SmartRenderExtra");
ZF_CHECK_OFFSET(PF_SmartRenderExtra, input, 0);
ZF_CHECK_OFFSET(PF_SmartRenderExtra, cb, 8);

static_assert(sizeof(SPBasicSuite) == 56, "SPBasicSuite");
ZF_CHECK_OFFSET(SPBasicSuite, AcquireSuite, 0);
ZF_CHECK_OFFSET(SPBasicSuite, ReleaseSuite, 8);
ZF_CHECK_OFFSET(SPBasicSuite, IsEqual, 16);
ZF_CHECK_OFFSET(SPBasicSuite, AllocateBlock, 24);
ZF_CHECK_OFFSET(SPBasicSuite, FreeBlock, 32);
ZF_CHECK_OFFSET(SPBasicSuite, ReallocateBlock, 40);
ZF_CHECK_OFFSET(SPBasicSuite, Undefined, 48);
static_assert(sizeof(PF_Iterate8Suite1) == 40, "PF_Iterate8Suite1");
ZF_CHECK_OFFSET(PF_Iterate8Suite1, iterate, 0);
ZF_CHECK_OFFSET(PF_Iterate8Suite1, iterate_origin, 8);
ZF_CHECK_OFFSET(PF_Iterate8Suite1, iterate_lut, 16);
ZF_CHECK_OFFSET(PF_Iterate8Suite1, iterate_origin_non_clip_src, 24);
ZF_CHECK_OFFSET(PF_Iterate8Suite1, iterate_generic, 32);
static_assert(sizeof(PF_WorldSuite2) == 24, "PF_WorldSuite2");
ZF_CHECK_OFFSET(PF_WorldSuite2, PF_NewWorld, 0);
ZF_CHECK_OFFSET(PF_WorldSuite2, PF_DisposeWorld, 8);
ZF_CHECK_OFFSET(PF_WorldSuite2, PF_GetPixelFormat, 16);
static_assert(sizeof(PF_PixelFormatSuite1) == 64, "PF_PixelFormatSuite1");
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, AddSupportedPixelFormat, 0);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, ClearSupportedPixelFormats, 8);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, NewWorldOfPixelFormat, 16);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, DisposeWorld, 24);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, GetPixelFormat, 32);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, GetBlackForPixelFormat, 40);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, GetWhiteForPixelFormat, 48);
ZF_CHECK_OFFSET(PF_PixelFormatSuite1, ConvertColorToPixelFormattedData, 56);
static_assert(sizeof(PF_HandleSuite1) == 48, "PF_HandleSuite1");
ZF_CHECK_OFFSET(PF_HandleSuite1, host_new_handle, 0);
ZF_CHECK_OFFSET(PF_HandleSuite1, host_lock_handle, 8);
ZF_CHECK_OFFSET(PF_HandleSuite1, host_unlock_handle, 16);
ZF_CHECK_OFFSET(PF_HandleSuite1, host_dispose_handle, 24);
ZF_CHECK_OFFSET(PF_HandleSuite1, host_get_handle_size, 32);
ZF_CHECK_OFFSET(PF_HandleSuite1, host_resize_handle, 40);
static_assert(sizeof(PF_ANSICallbacksSuite1) == 152, "PF_ANSICallbacksSuite1");
ZF_CHECK_OFFSET(PF_ANSICallbacksSuite1, sprintf, 120);
ZF_CHECK_OFFSET(PF_ANSICallbacksSuite1, strcpy, 128);
ZF_CHECK_OFFSET(PF_ANSICallbacksSuite1, acos, 144);

#undef ZF_CHECK_OFFSET

#endif
