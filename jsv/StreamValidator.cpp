#include "jsv/StreamValidator.hpp"

#include "jsv/Exceptions.hpp"
#include "jsv/MessageConverters.hpp"
#include "jsv/validators/BaseSchemaValidator.hpp"

namespace jsv {

namespace {
nlohmann::json parse(std::istream& stream, const char* what)
{
    try {
        return nlohmann::json::parse(stream);
    } catch (const nlohmann::json::exception& e) {
        throw CannotValidateException(std::string("Parsing the ") + what + " file failed: " + e.what());
    }
}

const char* const kSchemaFailure = "An error occurred while validating the JSON file using the provided schema:";
}  // namespace

int StreamValidator::validate(std::istream& data, std::istream& schema)
{
    annotations_ = AnnotationCollection();
    try {
        const nlohmann::json dataDocument = parse(data, "JSON data");
        const nlohmann::json schemaDocument = parse(schema, "JSON schema");
        return validate(dataDocument, schemaDocument);
    } catch (const CannotValidateException& e) {
        outputMessage(e.what());
        return 2;
    }
}

int StreamValidator::validate(const nlohmann::json& data, const nlohmann::json& schema)
{
    annotations_ = AnnotationCollection();
    try {
        const SchemaContext context{&data, &schema};
        BaseSchemaValidator::checkSchema(context, JsonPointer());
        BaseSchemaValidator(context, JsonPointer()).check(JsonPointer(), annotations_);
    } catch (const InvalidSchemaException& e) {
        annotations_ = AnnotationCollection();
        outputMessage(kSchemaFailure);
        outputMessage(e.what());
        return 2;
    }
    outputMessage(DefaultAnnotationCollectionToMessageConverter().convert(annotations_));
    if (numberOf(Severity::Error, annotations_) >= 1) return 2;
    if (numberOf(Severity::Warning, annotations_) > 0) return 1;
    return 0;
}

void StreamValidator::outputMessage(const std::string& text)
{
    if (text.empty() || output_ == nullptr) return;
    *output_ << text << '\n' << std::flush;
}

}  // namespace jsv
