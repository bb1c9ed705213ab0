// Product models: a product's parametric model looked up in the product database and
// drawn, as a preview picture into a window or into a display list.
#pragma once
#include <cstdint>

#include "tekpaint.h"
#include "tekshape.h"
#include "teksolid.h"
#include "windows.h"

// The model of product (objectClass, productId) from the product database `handle`, its
// stored model (attribute 1525, else that of alternativeId) built and its parameters
// (attribute 1507, then extraParameters, then "cat=0" when withoutCategory) set. Null
// after a message when the product or its model cannot be found; null without one when
// the model's data block does not build. The caller frees it with ts_free_model.
ts_model* device_load_model(int16_t handle, const char* productId, const char* alternativeId,
                            const char* objectClass, const char* extraParameters,
                            bool withoutCategory);

// Draws a product's model. With a window: painted into its device context (taken and
// released here when dc is null) over its client area (when width and height are 0);
// with a display list: the model's geometry appended to it (mode 5; the list initialised
// by the caller). pictureFile is not used. Null or empty alternatives stand for productId
// and objectClass. The view is the model's own (view 7); offsetX/offsetY move and zoom
// scales the view window. The result of tp_set_view (0) on success; -1 after a message
// when the database is not open, no product is named or its model cannot be built.
int device_draw(HWND window, HDC dc, const char* pictureFile, gm_model* list, int16_t handle,
                const char* productId, const char* objectClass, const char* alternativeId,
                const char* alternativeClass, const char* extraParameters, int width, int height,
                int mode, bool withoutCategory, int view, double zoom, double offsetX,
                double offsetY);

// Tests only: called with the rendering context and the model just before device_draw
// frees them (null: no call).
typedef void (*DeviceDrawInspector)(const tp_context* context, const ts_model* model);
void setDeviceDrawInspectorForTests(DeviceDrawInspector inspector);
