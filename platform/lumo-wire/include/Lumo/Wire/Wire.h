// Everything of the wire format in one include.
#pragma once

#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Cookies.h>
#include <Lumo/Wire/Dispatcher.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Lumo/Wire/Transport.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Lumo/Wire/Wsdl.h>
#include <Lumo/Wire/XmlText.h>
