#include "app/JpegImage.h"

#include "errors/OvException.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <limits>
#include <string>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jpeglib.h>

namespace {

// libjpeg reports a failure through its error manager; this one keeps the message and jumps back
// to the decoder instead of printing it and ending the process.
struct ErrorManager {
    jpeg_error_mgr base;  // first member, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf resume;
    char message[JMSG_LENGTH_MAX];
};

// Everything one decoding touches between setjmp and a possible longjmp. It lives in the caller's
// frame: the function that calls setjmp owns no object the jump could skip or leave indeterminate.
struct Decoding {
    jpeg_decompress_struct info;
    ErrorManager errors;
    QImage image;
};

[[noreturn]] void AbandonDecoding(j_common_ptr info) {
    auto* const errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->resume, 1);
}

// A warning means damaged data ("Premature end of JPEG file", "Corrupt JPEG data: ..."); libjpeg
// would carry on and show grey or garbled rows, so it ends the decoding like an error.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0) {
        AbandonDecoding(info);
    }
}

void DiscardOutput(j_common_ptr /*info*/) {}

void SetReason(Decoding& state, const std::string& reason) {
    std::snprintf(state.errors.message, sizeof state.errors.message, "%s", reason.c_str());
}

[[nodiscard]] bool FitsLimit(const jpeg_decompress_struct& info) {
    return static_cast<qint64>(info.image_width) * static_cast<qint64>(info.image_height) <=
           JpegImage::kMaxPixels;
}

// Runs libjpeg over the bytes into state.image. Returns false, with the reason in
// state.errors.message, when the data cannot be decoded; libjpeg's memory is freed either way.
bool RunDecoder(Decoding& state, const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct* const info = &state.info;
    info->err = jpeg_std_error(&state.errors.base);
    state.errors.base.error_exit = AbandonDecoding;
    state.errors.base.emit_message = OnMessage;
    state.errors.base.output_message = DiscardOutput;
    if (setjmp(state.errors.resume) != 0) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    if (!FitsLimit(*info)) {
        SetReason(state, "Picture too large: " + std::to_string(info->image_width) + "x" +
                             std::to_string(info->image_height) + " pixels");
        jpeg_destroy_decompress(info);
        return false;
    }
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    if (info->output_components != 3) {
        SetReason(state, "Unsupported colour layout");
        jpeg_destroy_decompress(info);
        return false;
    }
    state.image = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height),
                         QImage::Format_RGB888);
    if (state.image.isNull()) {
        SetReason(state, "Not enough memory for the picture");
        jpeg_destroy_decompress(info);
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = state.image.scanLine(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return true;
}

[[nodiscard]] QImage DecodeOrThrow(QByteArrayView bytes, const std::string& failurePrefix) {
    if (static_cast<quint64>(bytes.size()) > std::numeric_limits<unsigned long>::max()) {
        throw OvException(failurePrefix + "Input too large");
    }
    Decoding state{};
    if (!RunDecoder(state, reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<unsigned long>(bytes.size()))) {
        throw OvException(failurePrefix + state.errors.message);
    }
    return state.image;
}

}  // namespace

// Registers the pictures compiled into this library (resources.qrc). Needed because the library is
// static: the linker keeps the resource data only if something refers to it. The registration
// macro declares its function at block scope, so this helper stays outside any namespace.
static void RegisterEmbeddedPictures() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    static_cast<void>(registered);
}

QImage JpegImage::Decode(QByteArrayView bytes) {
    return DecodeOrThrow(bytes, "Cannot decode JPEG picture: ");
}

QImage JpegImage::Load(const QString& path) {
    RegisterEmbeddedPictures();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw OvException("Cannot open picture \"" + path.toStdString() + "\"");
    }
    const QByteArray bytes = file.readAll();
    return DecodeOrThrow(bytes, "Cannot decode JPEG picture \"" + path.toStdString() + "\": ");
}

QImage JpegImage::LoadForScreen(const QString& path, qreal devicePixelRatio) {
    if (devicePixelRatio <= 1.0) return Load(path);
    QString sharp = path;
    sharp.insert(sharp.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
    QImage picture = Load(sharp);
    picture.setDevicePixelRatio(2.0);
    return picture;
}
