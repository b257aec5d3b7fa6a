// Skin pictures: PNG resources decoded by the Windows Imaging Component into 32-bit DIB sections.
#include "platform/picture_resource.h"

#include <wincodec.h>

#include "platform/handles.h"

namespace {

// The resource's bytes; they stay mapped for the module's life, nothing to release.
bool FindPicture(HMODULE module, WORD id, const BYTE*& bytes, DWORD& size)
{
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), kPictureResourceType);
    if (!found)
        return false;
    size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    return bytes != nullptr && size > 0;
}

// A frame of the picture in 32 bits per pixel, blue-green-red-unused, whatever the PNG stores (palette,
// grey, true colour, with or without alpha). Wine converts a palette PNG to 32 bits but not to 24, so the
// pictures are always taken in 32.
bool ConvertedFrame(IWICImagingFactory* factory, const BYTE* bytes, DWORD size,
                    com_ptr<IWICFormatConverter>& converted)
{
    com_ptr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())))
        return false;
    // The stream only reads; the resource section is never written.
    if (FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), size)))
        return false;
    com_ptr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.put())))
        return false;
    com_ptr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put())))
        return false;
    if (FAILED(factory->CreateFormatConverter(converted.put())))
        return false;
    return SUCCEEDED(converted->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                           nullptr, 0.0, WICBitmapPaletteTypeCustom));
}

HBITMAP DecodePicture(const BYTE* bytes, DWORD size)
{
    com_ptr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void())))
        return nullptr;
    com_ptr<IWICFormatConverter> converted;
    if (!ConvertedFrame(factory.get(), bytes, size, converted))
        return nullptr;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(converted->GetSize(&width, &height)))
        return nullptr;
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);   // top-down: rows in the order WIC copies them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hbitmap picture(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture || !bits)
        return nullptr;
    const UINT stride = width * 4;
    // A picture whose pixel data breaks off or fails its checks fails here, after the header read well:
    // then none of it is shown rather than a part.
    if (FAILED(converted->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return nullptr;
    return picture.release();
}

}  // namespace

HBITMAP LoadPictureResource(HMODULE module, WORD id)
{
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    if (!FindPicture(module, id, bytes, size))
        return nullptr;
    // Nests in the window thread's apartment; a worker without one gets one for this call.
    com_apartment com;
    return DecodePicture(bytes, size);
}
