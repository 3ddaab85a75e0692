#pragma once
// The names that this program's packages are written with and read by: namespaces, the
// classes that mark a question's parts in an item's body, the metadata of what QTI cannot hold.

#include <QString>

namespace exchange::qti {

enum class Version { V2p1, V2p2 };

inline QString qtiNamespace(Version v) {
  return v == Version::V2p1 ? QStringLiteral("http://www.imsglobal.org/xsd/imsqti_v2p1")
                            : QStringLiteral("http://www.imsglobal.org/xsd/imsqti_v2p2");
}
inline QString qtiSchemaLocation(Version v) {
  return v == Version::V2p1 ? QStringLiteral("http://www.imsglobal.org/xsd/qti/qtiv2p1/imsqti_v2p1.xsd")
                            : QStringLiteral("http://www.imsglobal.org/xsd/qti/qtiv2p2/imsqti_v2p2.xsd");
}
inline QString matchCorrect(Version v) {
  return v == Version::V2p1 ? QStringLiteral("http://www.imsglobal.org/question/qti_v2p1/rptemplates/match_correct")
                            : QStringLiteral("http://www.imsglobal.org/question/qti_v2p2/rptemplates/match_correct");
}
inline QString itemResourceType(Version v) {
  return v == Version::V2p1 ? QStringLiteral("imsqti_item_xmlv2p1") : QStringLiteral("imsqti_item_xmlv2p2");
}
inline QString testResourceType(Version v) {
  return v == Version::V2p1 ? QStringLiteral("imsqti_test_xmlv2p1") : QStringLiteral("imsqti_test_xmlv2p2");
}
inline const QString kStimulusResourceType = QStringLiteral("imsqti_stimulus_xmlv2p2");

inline const QString kCpNamespace = QStringLiteral("http://www.imsglobal.org/xsd/imscp_v1p1");
inline const QString kXsiNamespace = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
// What QTI cannot hold of a question, in the manifest's metadata of its item.
inline const QString kOwnNamespace = QStringLiteral("urn:zorbex-editor:question");

// Classes of the divisions of an item's body that hold a question's parts.
inline const QString kPassageClass = QStringLiteral("zx-passage");
inline const QString kStemClass = QStringLiteral("zx-stem");
inline const QString kStatementClass[2] = {QStringLiteral("zx-statement1"), QStringLiteral("zx-statement2")};
// The label "(1)" or "(2)" before a statement: shown, not stored.
inline const QString kLabelClass = QStringLiteral("zx-label");

inline const char* const kManifestName = "imsmanifest.xml";

}  // namespace exchange::qti
