#include "monitor/tag_form_fields.h"

#include "common/text_convert.h"
#include "post/url_encode.h"

namespace {

std::string Field(const char* name, const std::string& utf8, TitleCharset charset)
{
    const std::string value =
        charset == TitleCharset::kUtf8 ? utf8 : BytesFrom(WideFrom(utf8, CP_UTF8).data(), CP_ACP);
    return std::string("&") + name + "=" + UrlEncode(value);
}

}  // namespace

std::string TagFormFields(const TrackRecord& record)
{
    if (!record.hasFields)
        return std::string();
    return Field("artist", record.fields.artist, record.charset) +
           Field("album", record.fields.album, record.charset) +
           Field("song", record.fields.title, record.charset);
}
