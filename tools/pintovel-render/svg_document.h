// The SVG file as an XML tree (libxml2), with the element lookups the scene builder needs.
#ifndef PINTOVEL_RENDER_SVG_DOCUMENT_H
#define PINTOVEL_RENDER_SVG_DOCUMENT_H

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pintovel_render {

class SvgDocument {
 public:
  // Reads and parses the file. Throws ToolError: kUnreadableInput when the file cannot be
  // read, kMalformedXml (with the line) when it is not well-formed XML or its root is not an
  // svg element.
  static SvgDocument Load(const std::string& path);

  // Parses XML text; `name` stands for the source in messages.
  static SvgDocument Parse(std::string_view text, const std::string& name);

  const xmlNode* root() const {
    return root_;
  }

  // The element whose id attribute is `id`, or null.
  const xmlNode* FindById(std::string_view id) const;

  // True for an element of the SVG namespace (or of no namespace in a document whose root
  // has none).
  bool IsSvgElement(const xmlNode* node) const;

 private:
  struct FreeDocument {
    void operator()(xmlDoc* doc) const {
      xmlFreeDoc(doc);
    }
  };

  void IndexIds(const xmlNode* node);

  std::unique_ptr<xmlDoc, FreeDocument> doc_;
  const xmlNode* root_ = nullptr;
  bool rootHasNamespace_ = true;
  std::unordered_map<std::string, const xmlNode*> ids_;
};

// The element's local name ("path", "g", ...).
std::string_view LocalName(const xmlNode* node);

// The value of an attribute without namespace, or nothing.
std::optional<std::string> Attribute(const xmlNode* node, const char* name);

// The reference of a use element: href, or xlink:href.
std::optional<std::string> HrefAttribute(const xmlNode* node);

// The source line of the element.
long LineOf(const xmlNode* node);

// "<path id="leaf"> on line 12": how messages name an element.
std::string DescribeElement(const xmlNode* node);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_SVG_DOCUMENT_H
