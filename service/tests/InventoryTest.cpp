// The inventory file: the sample file is the built-in inventory, and a file
// breaking a rule is refused with its line and the reason.
#include <ZelSample/Inventory.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

using ZelSample::Inventory;
using ZelSample::InventoryError;

TEST(InventoryTest, TheSampleFileIsTheBuiltInInventory) {
  std::ifstream file(ZEL_SAMPLE_INVENTORY_FILE);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), Inventory::BuiltInText());
  Inventory read = Inventory::Read(ZEL_SAMPLE_INVENTORY_FILE);
  const Inventory& builtIn = Inventory::BuiltIn();
  EXPECT_EQ(read.GetHubs().size(), builtIn.GetHubs().size());
  // Listed entities live where their line says, others by the unlisted rule.
  EXPECT_EQ(builtIn.HubOf("virtualDiskId", "vm-42:2001")->id, "ds-bulk");
  EXPECT_EQ(builtIn.HubOf("virtualMachine", "vm-8")->id, "ds-silver");
  EXPECT_EQ(builtIn.HubOf("virtualMachine", "unlisted-3")->id, "ds-bulk");
  EXPECT_EQ(builtIn.HubOf("virtualMachine", "unlisted-x")->id, "ds-fast");
  EXPECT_EQ(builtIn.HubOf("datastore", "ds-legacy")->id, "ds-legacy");
  EXPECT_EQ(builtIn.HubOf("datastore", "ds-none"), nullptr);
  EXPECT_EQ(builtIn.HubOf("host", "h-1"), nullptr);
  EXPECT_EQ(builtIn.GroupOf("vm-42:2000")->deviceGroupId, "rg-gold");
  EXPECT_EQ(builtIn.GroupOf("vm-7"), nullptr);
  EXPECT_EQ(*builtIn.FindIoFilter("sample-cache-kit"), "CACHE");
}

struct Bad {
  const char* text;
  size_t line;
  const char* reason;
};

TEST(InventoryTest, BadFilesAreRefusedWithTheLineAndTheReason) {
  const std::string hub = "hub ds-a datastore\n";
  const Bad cases[] = {
      {"# nothing but a comment\n", 0, "declares no hub"},
      {"hub ds-a\n", 1, "takes the form: hub ID TYPE"},
      {"hub ds-a datastore fast\n", 1, "unknown hub flag"},
      {"hub ds-a datastore\nhub ds-a datastore\n", 2, "declared twice"},
      {"space ds-a 10 5\n", 1, "no hub \"ds-a\" is declared above"},
      {"hub ds-a datastore\nspace ds-a 10 20\n", 2, "free space is larger"},
      {"hub ds-a datastore\nspace ds-a ten 5\n", 2, "not a size"},
      {"hub ds-a datastore\naccess ds-a sometimes\n", 2, "unknown accessibility"},
      {"hub ds-a datastore\noffer ds-a ns cap 99999999999\n", 2, "not an integer of 32 bits"},
      {"hub ds-a datastore\noffer ds-a ns cap 1\noffer ds-a ns cap 2\n", 3, "already offers"},
      {"hub ds-a datastore\noffer ds-a ns cap \"gold\"\n", 2, "unexpected character 0x22"},
      {"hub ds-a datastore\nvm vm-1 ds-a # trailing\n", 2, "comment must stand on a line"},
      {"hub ds-a datastore\ndisk d-1 vm-1 ds-a\n", 2, "no virtual machine \"vm-1\""},
      {"hub ds-a datastore\nvm vm-1 ds-a\nreplication-group fd rg vm-1 vm-2\n", 3,
       "no virtual machine or disk \"vm-2\""},
      {"hub ds-a datastore\nvm vm-1 ds-a\nreplication-group fd rg vm-1\n"
       "replication-group fd rg2 vm-1\n",
       4, "already in a replication group"},
      {"hub ds-a datastore\niofilter kit BLENDER\n", 2, "unknown I/O filter type"},
      {"hub ds-a datastore\nunlisted even ds-a\n", 2, "names odd or other"},
      {"hub ds-a datastore\nteleport ds-a\n", 2, "unknown statement \"teleport\""},
      {"hub ds-a datastore\nvm \xc3\xa9 ds-a\n", 2, "unexpected character 0xc3"},
  };
  for (const Bad& bad : cases) {
    try {
      Inventory::Parse(bad.text, "test.inv");
      ADD_FAILURE() << "accepted: " << bad.text;
    } catch (const InventoryError& e) {
      EXPECT_EQ(e.GetLine(), bad.line) << bad.text << " -> " << e.what();
      EXPECT_NE(std::string(e.what()).find(bad.reason), std::string::npos)
          << bad.text << " -> " << e.what();
      if (bad.line > 0) {
        EXPECT_EQ(std::string(e.what()).find("test.inv:" + std::to_string(bad.line) + ": "), 0u);
      }
    }
  }
  (void)hub;
}

TEST(InventoryTest, LimitsAndUnreadableFilesAreRefused) {
  std::string longLine = "hub " + std::string(5000, 'a') + " datastore\n";
  EXPECT_THROW(Inventory::Parse(longLine, "x"), InventoryError);
  std::string longWord = "hub " + std::string(300, 'a') + " datastore\n";
  EXPECT_THROW(Inventory::Parse(longWord, "x"), InventoryError);
  EXPECT_THROW(Inventory::Parse(std::string(Inventory::kMaxFileBytes + 1, '#'), "x"),
               InventoryError);
  EXPECT_THROW(Inventory::Read("/nonexistent/inventory"), InventoryError);

  // The service refuses to start on a bad file, naming it.
  char path[] = "/tmp/zel-inventory-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const char text[] = "hub ds-a datastore\nvm vm-1 ds-b\n";
  ASSERT_EQ(write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
  close(fd);
  Lumo::StartRuntime();
  ZelSample::ServiceSettings settings;
  settings.inventoryFile = path;
  try {
    ZelSample::SampleService service(settings);
    ADD_FAILURE() << "the service started";
  } catch (const InventoryError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(path) + ":2: no hub \"ds-b\" is declared above");
  }
  std::remove(path);
}

}  // namespace
}  // namespace ZelSampleTest
