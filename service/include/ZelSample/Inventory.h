// The sample inventory: the hubs (datastores) with the capabilities each
// offers, the virtual machines and disks that live on them, the replication
// groups and the I/O filters. The service reads it once at start and never
// changes it.
//
// It is written in a small line format, one statement a line, words
// separated by blanks, '#' starting a comment line:
//
//   hub ID TYPE [legacy]                  a hub; "legacy" ones take no default profile
//   space HUB TOTAL_MB FREE_MB            its space
//   access HUB accessible|partiallyAccessible|notAccessible
//   offer HUB NAMESPACE CAPABILITY [PROPERTY] VALUE
//                                         what it offers for a capability's property
//                                         (PROPERTY defaults to CAPABILITY); VALUE is an
//                                         integer, true, false, a time span COUNT:UNIT
//                                         (e.g. 1:HOURS), or a word
//   vm KEY HUB                            a virtual machine and the hub of its files
//   disk KEY VM HUB                       a disk of a listed virtual machine
//   replication-group FAULT_DOMAIN DEVICE_GROUP MEMBER...
//                                         listed machines and disks replicated together
//   iofilter KIT_ID FILTER_TYPE           an installed I/O filter
//   unlisted odd|other HUB                the hub of entities not listed: those whose key
//                                         ends in an odd digit, and all others
//
// Every name a statement refers to must have been declared on an earlier
// line. A file breaking a rule is refused with its line and the reason.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ZelSample {

struct InventoryOffer {
  std::string ns;
  std::string capability;
  std::string property;
  Kestrum::Ref<Lumo::Any> value;  // a boxed int32_t, bool or std::string; never changed
};

struct InventoryHub {
  std::string id;
  std::string type;
  bool legacy = false;
  std::string accessibility = "accessible";
  int64_t totalMB = 0;
  int64_t freeMB = 0;
  std::vector<InventoryOffer> offers;
};

struct InventoryEntity {
  std::string key;
  std::string hub;
  std::string vm;                  // for a disk: its machine
  std::vector<std::string> disks;  // for a machine: its disks, in the file's order
};

struct InventoryReplicationGroup {
  std::string faultDomainId;
  std::string deviceGroupId;
  std::vector<std::string> members;
};

// Raised by ReadInventory: where and why a file was refused.
class InventoryError : public std::runtime_error {
 public:
  InventoryError(const std::string& source, size_t line, const std::string& reason);
  size_t GetLine() const { return _line; }
  const std::string& GetReason() const { return _reason; }

 private:
  size_t _line;
  std::string _reason;
};

class Inventory {
 public:
  // The limits of what a file may hold.
  static constexpr size_t kMaxFileBytes = 1024 * 1024;
  static constexpr size_t kMaxLineBytes = 4096;
  static constexpr size_t kMaxWordBytes = 256;

  // The hub an entity lives on: a datastore entity is its own hub, a listed
  // machine or disk the hub of its line, any other entity the unlisted hub
  // for its key. Null when none applies.
  const InventoryHub* HubOf(const std::string& objectType, const std::string& key) const;
  // Whether an entity is listed: a declared hub, machine or disk (an
  // unlisted one has a hub only through the unlisted statements).
  bool Lists(const std::string& objectType, const std::string& key) const;
  const InventoryHub* FindHub(const std::string& id) const;
  const InventoryEntity* FindVm(const std::string& key) const;
  const InventoryEntity* FindDisk(const std::string& key) const;
  // The group a listed machine or disk belongs to; null for none.
  const InventoryReplicationGroup* GroupOf(const std::string& key) const;
  // The type of an installed I/O filter; null when the kit is unknown.
  const std::string* FindIoFilter(const std::string& kitId) const;

  const std::vector<InventoryHub>& GetHubs() const { return _hubs; }
  const std::vector<InventoryEntity>& GetVms() const { return _vms; }
  const std::vector<InventoryEntity>& GetDisks() const { return _disks; }
  const std::vector<InventoryReplicationGroup>& GetGroups() const { return _groups; }

  // Reads the line format; source names the text in errors. Throws
  // InventoryError.
  static Inventory Parse(const std::string& text, const std::string& source);
  // Reads a file (at most kMaxFileBytes). Throws InventoryError.
  static Inventory Read(const std::string& path);
  // The built-in inventory: the text of BuiltInText().
  static const Inventory& BuiltIn();
  static const char* BuiltInText();

 private:
  friend class InventoryParser;
  std::vector<InventoryHub> _hubs;
  std::vector<InventoryEntity> _vms;
  std::vector<InventoryEntity> _disks;
  std::vector<InventoryReplicationGroup> _groups;
  std::map<std::string, size_t> _hubIndex;
  std::map<std::string, size_t> _vmIndex;
  std::map<std::string, size_t> _diskIndex;
  std::map<std::string, size_t> _groupOf;
  std::map<std::string, std::string> _ioFilters;
  std::string _unlistedOdd;
  std::string _unlistedOther;
};

}  // namespace ZelSample
