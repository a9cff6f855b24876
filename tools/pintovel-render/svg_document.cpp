#include "svg_document.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tool_error.h"

namespace pintovel_render {

namespace {

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";
constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";

std::string ReadWholeFile(const std::string& path) {
  const auto fail = [&path](const std::string& why) {
    return ToolError(ExitCode::kUnreadableInput, "cannot read '" + path + "': " + why);
  };
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) throw fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) throw fail("it is a directory");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) throw fail(std::strerror(errno));
  std::string content;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
  if (std::ferror(file.get()) != 0) throw fail("read error");
  return content;
}

std::string TrimMessage(const char* message) {
  std::string text = message != nullptr ? message : "unknown error";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// What libxml2 reports, in words for the user: its texts for its resource limits name parser
// options, where a user needs the limit. Other errors are malformed XML.
std::string PlainMessage(int code, const std::string& message) {
  if (message.find("Excessive depth in document") != std::string::npos) {
    return "the elements are nested too deeply: at most " + std::to_string(xmlParserMaxDepth) +
           " levels of nesting are read";
  }
  if (code == XML_ERR_ENTITY_LOOP) {
    return "the entities expand too far (an entity refers to itself, or expands to far more "
           "text than the document holds)";
  }
  return "malformed XML: " + message;
}

// Keeps the first error (or warning-level fatal error) that libxml2 reports.
struct FirstXmlError {
  bool seen = false;
  long line = 0;
  std::string message;

  static void Collect(void* self, xmlErrorPtr error) {
    auto* first = static_cast<FirstXmlError*>(self);
    if (first->seen || error == nullptr || error->level < XML_ERR_ERROR) return;
    first->seen = true;
    first->line = error->line;
    first->message = PlainMessage(error->code, TrimMessage(error->message));
  }
};

// Elements that come from an internal entity are parsed by libxml2 apart from the document,
// without the namespace declarations in scope where the entity is referenced, so they arrive
// in no namespace. An unprefixed element takes the default namespace in scope: give it that.
// (An element really in no namespace under a default one is written with xmlns="", whose
// declaration has an empty name and is left alone.)
void AdoptDefaultNamespace(xmlDoc* doc, xmlNode* node) {
  for (xmlNode* child = node; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (child->ns == nullptr) {
      xmlNs* inScope = xmlSearchNs(doc, child, nullptr);
      if (inScope != nullptr && inScope->href != nullptr && inScope->href[0] != '\0') {
        child->ns = inScope;
      }
    }
    AdoptDefaultNamespace(doc, child->children);
  }
}

xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

const char* NamespaceOf(const xmlNode* node) {
  return node->ns != nullptr ? reinterpret_cast<const char*>(node->ns->href) : nullptr;
}

}  // namespace

SvgDocument SvgDocument::Load(const std::string& path) {
  return Parse(ReadWholeFile(path), path);
}

SvgDocument SvgDocument::Parse(std::string_view text, const std::string& name) {
  if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw ToolError(ExitCode::kMalformedXml, name + ": the file is too large");
  }
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(xmlNewParserCtxt(),
                                                                     xmlFreeParserCtxt);
  if (!context) throw std::bad_alloc();
  // The first error is the one worth reporting (later ones follow from it); collecting
  // errors here also keeps libxml2 from printing them itself.
  FirstXmlError first;
  xmlSetStructuredErrorFunc(&first, &FirstXmlError::Collect);
  // Internal entities are substituted (drawing programs declare the SVG namespace as one);
  // external ones, and external DTDs, are never loaded: the loader refuses them all.
  const xmlExternalEntityLoader previousLoader = xmlGetExternalEntityLoader();
  xmlSetExternalEntityLoader(&RefuseExternalEntity);
  SvgDocument document;
  document.doc_.reset(xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()),
                                        name.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOENT));
  xmlSetExternalEntityLoader(previousLoader);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  if (!document.doc_ || context->wellFormed == 0 || first.seen) {
    const xmlError* last = xmlCtxtGetLastError(context.get());
    const long line = first.seen ? first.line : (last != nullptr ? last->line : 0);
    const std::string message =
        first.seen ? first.message
                   : PlainMessage(last != nullptr ? last->code : 0,
                                  TrimMessage(last != nullptr ? last->message : nullptr));
    throw ToolError(ExitCode::kMalformedXml, name + ":" + std::to_string(line) + ": " + message);
  }
  const xmlNode* root = xmlDocGetRootElement(document.doc_.get());
  if (root == nullptr || LocalName(root) != "svg") {
    throw ToolError(ExitCode::kMalformedXml,
                    name + ": not an SVG document (the root element is " +
                        (root != nullptr ? "<" + std::string(LocalName(root)) + ">" : "missing") +
                        ", not <svg>)");
  }
  const char* ns = NamespaceOf(root);
  if (ns != nullptr && std::strcmp(ns, kSvgNamespace) != 0) {
    throw ToolError(
        ExitCode::kMalformedXml,
        name + ": not an SVG document (the root <svg> is in the namespace '" + ns + "')");
  }
  if (ns != nullptr) AdoptDefaultNamespace(document.doc_.get(), document.doc_->children);
  document.root_ = root;
  document.rootHasNamespace_ = ns != nullptr;
  document.IndexIds(root);
  return document;
}

void SvgDocument::IndexIds(const xmlNode* node) {
  for (const xmlNode* child = node; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (auto id = Attribute(child, "id")) ids_.emplace(*id, child);  // the first one wins
    IndexIds(child->children);
  }
}

const xmlNode* SvgDocument::FindById(std::string_view id) const {
  const auto found = ids_.find(std::string(id));
  return found == ids_.end() ? nullptr : found->second;
}

bool SvgDocument::IsSvgElement(const xmlNode* node) const {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return false;
  const char* ns = NamespaceOf(node);
  if (ns == nullptr) return !rootHasNamespace_;
  return std::strcmp(ns, kSvgNamespace) == 0;
}

std::string_view LocalName(const xmlNode* node) {
  return node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "";
}

std::optional<std::string> Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

std::optional<std::string> HrefAttribute(const xmlNode* node) {
  if (auto href = Attribute(node, "href")) return href;
  xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("href"),
                                reinterpret_cast<const xmlChar*>(kXlinkNamespace));
  if (value == nullptr) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

long LineOf(const xmlNode* node) {
  // Content from an entity has no line of its own; the nearest enclosing element's stands in.
  for (; node != nullptr && node->type == XML_ELEMENT_NODE; node = node->parent) {
    const long line = xmlGetLineNo(node);
    if (line > 0) return line;
  }
  return 0;
}

std::string DescribeElement(const xmlNode* node) {
  std::string text = "<" + std::string(LocalName(node));
  if (auto id = Attribute(node, "id")) text += " id=\"" + *id + "\"";
  return text + "> on line " + std::to_string(LineOf(node));
}

}  // namespace pintovel_render
