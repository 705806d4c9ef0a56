#pragma once
// Compound files (OLE structured storage): the reader and the writer.
#include "storage/cfb/compound_file_reader.h"
#include "storage/cfb/compound_file_writer.h"
