// Seeds the service at start from a file of calls: each child of the root
// element <seed> is the body of one SOAP request, as a client sends it
// (`zel call --wire` prints them), run in order in one session that may view
// and update. Namespaces declared on <seed> hold for every call; the prefixes xsd and
// xsi are declared as the wire has them unless <seed> declares them.
//
// A call may name a profile created earlier in the file by its name: the
// text {{id:NAME}} anywhere in a call stands for the id of the profile that
// a ZelCreate before it created with that name.
//
//   <seed xmlns="urn:zel" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
//     <ZelCreate><_this type="ZelProfileProfileManager">ProfileManager</_this>
//       <createSpec>...<name>Gold</name>...</createSpec></ZelCreate>
//     <ZelAssociate><_this type="ZelProfileProfileManager">ProfileManager</_this>
//       <entity>...</entity><profile><uniqueId>{{id:Gold}}</uniqueId></profile></ZelAssociate>
//   </seed>
#pragma once

#include <ZelSample/WireEndpoint.h>

#include <cstddef>
#include <string>

namespace ZelServer {

// The largest seed file read.
inline constexpr size_t kMaxSeedBytes = 16u * 1024u * 1024u;

// Runs the calls of the seed text; returns how many ran. Throws
// std::runtime_error naming the call (by its position and element) and why,
// for text that does not read, a call answered with a fault, or an
// {{id:NAME}} no earlier call created. The calls before it stay done.
size_t SeedFromText(ZelSample::WireEndpoint& endpoint, const std::string& text);
// The same for a file; the message starts with the file's path.
size_t SeedFromFile(ZelSample::WireEndpoint& endpoint, const std::string& path);

}  // namespace ZelServer
