<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:svg="http://www.w3.org/2000/svg" xmlns:str="http://exslt.org/strings" xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
  <xsl:key name="k" match="*" use="@id"/>
  <xsl:variable name="v"><svg:rect/></xsl:variable>
  <xsl:template match="@*|node()"><xsl:copy><xsl:apply-templates select="@*|node()"/></xsl:copy></xsl:template>
  <xsl:template match="svg:rect">
    <xsl:element name="circle" namespace="http://www.w3.org/2000/svg">
      <xsl:attribute name="r"><xsl:value-of select="count(key('k','r')) + string-length(str:padding(3,'x'))"/></xsl:attribute>
      <xsl:for-each select="exsl:node-set($v)/*"><xsl:sort select="name()"/><xsl:number/></xsl:for-each>
      <xsl:call-template name="t"><xsl:with-param name="n" select="3"/></xsl:call-template>
      <xsl:copy-of select="document('')"/>
    </xsl:element>
  </xsl:template>
  <xsl:template name="t"><xsl:param name="n"/><xsl:if test="$n &gt; 0"><xsl:call-template name="t"><xsl:with-param name="n" select="$n - 1"/></xsl:call-template></xsl:if></xsl:template>
</xsl:stylesheet>
