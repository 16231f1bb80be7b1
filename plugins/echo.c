/* echo: the whole plug-in. $tovra[echo,a,b] gives "a,b". */
#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

#include <stdlib.h>
#include <string.h>

int tovra_execute(const tovra_call *call, tovra_result *result) {
  size_t length = 0;
  int i, status;
  for (i = 0; i < call->argc; ++i) length += strlen(call->argv[i]) + 1;
  char *text = (char *)calloc(length + 1, 1);
  if (!text) return TOVRA_FAILED;
  for (i = 0; i < call->argc; ++i) {
    if (i) strcat(text, ",");
    strcat(text, call->argv[i]);
  }
  status = tovra_set_result(result, text);
  free(text);
  return status;
}
